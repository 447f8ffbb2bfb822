// Replacing, adding or deleting one Terminal Control entry. The other
// entries are copied as text: re-encoding them would drop comments, aliases,
// fields of other kinds and users that no longer have an id.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_lock.h"
#include "authdb/entry_rewrite.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/storable.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;
using vant::authdb::EntryRewrite;

namespace {

// The caller's name and terminal half are copied first, so that nothing
// the update reads can change what it writes.
class TerminalRewrite final : public EntryRewrite {
  public:
    char name[VANT_DEVNAME_LEN + 1];
    struct t_field fields;
    struct t_flag flags;

    // An entry is the terminal's when its own t_devname names it; an entry
    // that cannot be read stops the update rather than be lost.
    Verdict decide(FILE *in, long start, const char *, size_t) override {
        long pos = start;
        if (vant::authdb::agettty(&pos, in, nullptr) != 1) return Verdict::fail;
        // The other fields are not decoded: a user field would cost a user
        // lookup for every terminal in the file.
        struct t_field entry;
        if (!vant::databases::read_tc_devname(&entry)) return Verdict::keep;
        return strncmp(entry.t_devname, name, sizeof entry.t_devname) == 0 ? Verdict::replace
                                                                           : Verdict::keep;
    }

    bool write_replacement(FILE *out) override {
        if (!PR_T_ISSET(flags, PR_T_DEVNAME)) return true;
        return vant::databases::store_tc_fields(out, name, &fields, &flags) == 1;
    }

    // False for what the entry format cannot hold, and for a name longer
    // than t_devname holds: its entry could never be matched again, and
    // every update would add another.
    bool take(const char *terminal, const struct pr_term *record) {
        if (strlen(terminal) >= sizeof name || !storable_name(terminal)) return false;
        strcpy(name, terminal);
        fields = record->ufld;
        flags = record->uflg;
        return (!PR_T_ISSET(flags, PR_T_DEVNAME) ||
                storable_value(fields.t_devname, sizeof fields.t_devname)) &&
               (!PR_T_ISSET(flags, PR_T_LABEL) ||
                storable_value(fields.t_label, sizeof fields.t_label));
    }
};

int update(TerminalRewrite &r) {
    using vant::authdb::UpdateResult;
    vant::authdb::OwnedText path = vant::authdb::find_auth_file(r.name, VANT_OBJ_TTYS);
    if (path == nullptr) return 0;
    UpdateResult result = vant::authdb::update_database(
        path.get(), "make new Terminal Control database",
        [&](FILE *out) { return vant::authdb::rewrite_database(path.get(), out, r); });
    if (result == UpdateResult::failed)
        vant::frame::audit_auth_entry(r.name, VANT_OBJ_TTYS, "cannot update entry");
    return result == UpdateResult::replaced ? 1 : 0;
}

}  // namespace

namespace vant::databases {

int putprtcnam(const char *name, struct pr_term *record) {
    frame::check_auth_parameters();
    if (name == nullptr || record == nullptr) return 0;
    authdb::EntryLock serialised("", VANT_OBJ_TTYS);
    TerminalRewrite r{};
    int result = 0;
    if (r.take(name, record))
        result = update(r);
    else
        frame::audit_auth_entry(name, VANT_OBJ_TTYS, "cannot update entry");
    databases::endprtcent();
    return result;
}

}  // namespace vant::databases
