// Merging the /etc/default values into the "default" entry as it is read,
// under the mirroring settings and the caller's override mode.
#include <string.h>

#include "databases/system_default.h"
#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"
#include "mirror/mirror_rule.h"
#include "vant.h"

namespace vant::databases {
namespace {

struct MergeState {
    int synthesized;  // a "default" entry was made up at the end of this pass
};
constinit MergeState state{};

struct pr_default *unmerged(struct pr_default *record, bool read) {
    state.synthesized = 0;
    return read ? record : nullptr;
}

struct pr_default *refused() {
    state.synthesized = 0;
    return nullptr;
}

void name_default(struct pr_default *record) {
    if (record->d_name_present != 0) return;
    strncpy(record->d_name, kDefaultEntry, sizeof record->d_name - 1);
    record->d_name_present = 1;
}

}  // namespace

struct pr_default *merge_etc_default(struct pr_default *record, bool read) {
    if (record == nullptr) return refused();
    int mode = mirror::get_override_mode();
    if (ignore_etc() != 0 || mode == OVERRIDE_PROTECTED_ONLY) return unmerged(record, read);
    if (read && (record->d_name_present == 0 || !names_entry(record, kDefaultEntry)))
        return unmerged(record, read);

    bool etc_wins = mode == OVERRIDE_ETC_FILES;
    int integrity = 0, authority = 1;
    if (!etc_wins &&
        mirror::evaluate_mirroring_fields(&integrity, &authority, &record->prd, &record->prg) == 0)
        return unmerged(record, read);

    struct pr_field etc {};
    struct pr_flag etc_flags {};
    if (mirror::get_dflt_fields(&etc, &etc_flags) == 0 &&
        (etc_wins || !mirror::protected_may_stand_alone(mirror::regime(integrity, authority))))
        return refused();

    if (!read) {
        if (state.synthesized != 0) return refused();
        state.synthesized = 1;
    } else {
        state.synthesized = 0;
    }
    name_default(record);
    if (etc_wins) {
        record->prd = etc;
        record->prg = etc_flags;
        return record;
    }
    if (mirror::validate_dflt_fields(integrity, authority, &record->prd, &record->prg, &etc,
                                     &etc_flags) == -1)
        return refused();
    return record;
}

}  // namespace vant::databases
