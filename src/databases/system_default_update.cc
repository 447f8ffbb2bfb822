// Replacing, adding or deleting one System Default entry, and, for the
// entry "default", mirroring it into the /etc/default files.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/system_default.h"
#include "frame/frame.h"
#include "frame/quiet_zone.h"
#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"
#include "mirror/mirror_rule.h"
#include "vant.h"

using namespace vant::databases;

namespace {

using vant::authdb::UpdateResult;

// Everything the update works from is copied first: the caller's name and
// record may be the reader's own storage, which the update reads every
// entry into.
struct Update {
    char *name;
    struct pr_default record;
    bool mirroring = false;
    int integrity = 0;
    int authority = 1;
    int dflt_status = 0;
    int db_status = 0;
    bool changed = false;     // the entry was found, or appended
    bool settled = false;     // the mirroring rule has decided both halves
    bool installing = false;  // the new version is to go into place
};

// The authcap format has no escape for these in a name.
bool storable(const char *name) {
    return strpbrk(name, ":\n") == nullptr;
}

bool storable(const struct pr_default *record) {
    return record->d_name_present == 0 ||
           (memchr(record->d_name, '\0', sizeof record->d_name) != nullptr &&
            storable(record->d_name));
}

// Entries are copied as they stand in the file, without the /etc values.
// A damaged entry ends the copy as a failure: the entries after it would
// otherwise be lost.
bool copy_entries(Update &u, FILE *out) {
    int caller_choice = ignore_etc();
    set_ignore_etc(1);
    bool ok = true;
    struct pr_default *entry;
    while (ok && (entry = vant::databases::getprdfent()) != nullptr) {
        if (!names_entry(entry, u.name)) {
            ok = store_df_fields(out, entry->d_name_present != 0 ? entry->d_name : "", entry) == 1;
            continue;
        }
        u.changed = true;
        if (u.record.d_name_present != 0) ok = store_df_fields(out, u.name, &u.record) == 1;
    }
    set_ignore_etc(caller_choice);
    return ok && last_read_end() != ReadEnd::damaged;
}

// Both halves prepared as far as they could be: the rule decides which go
// into place. Where one half fails, the side that leads may still be
// written, but the update is not reported as done. Whether the database
// half goes in.
bool settle(Update &u) {
    namespace mirror = vant::mirror;
    u.settled = true;
    const mirror::Settlement &s = mirror::settle(mirror::regime(u.integrity, u.authority),
                                                 u.db_status == 1, u.dflt_status == 1);
    return mirror::carry_out(
        s, [] { return mirror::replace_dflt_files(); }, [] { mirror::unlock_dflt_files(); },
        u.db_status, u.dflt_status, 0);
}

// Whether the new version goes into place.
bool write_new_version(Update &u, const char *path, FILE *out) {
    reset_default(path);
    bool ok = copy_entries(u, out);
    if (ok && !u.changed && u.record.d_name_present != 0) {
        ok = store_df_fields(out, u.name, &u.record) == 1;
        u.changed = true;
    }
    u.db_status = ok ? 1 : 0;
    bool install = u.mirroring ? settle(u) : ok;
    u.installing = install && u.changed;
    return u.installing;
}

void write_database(Update &u) {
    vant::authdb::OwnedText path = vant::authdb::find_auth_file(nullptr, VANT_OBJ_DEFAULT);
    if (path == nullptr) return;
    UpdateResult result = vant::authdb::update_database(
        path.get(), "make new System Default database",
        [&](FILE *out) { return write_new_version(u, path.get(), out); });
    if (u.installing) u.db_status = result == UpdateResult::replaced ? 1 : 0;
}

int put(Update &u) {
    u.mirroring = vant::mirror::evaluate_mirroring_fields(&u.integrity, &u.authority, &u.record.prd,
                                                          &u.record.prg) == 1 &&
                  vant::mirror::get_write_mode() != WRITE_PROTECTED_ONLY &&
                  strcmp(u.name, kDefaultEntry) == 0;
    if (u.mirroring) {
        u.dflt_status = vant::mirror::lock_dflt_files();
        if (u.dflt_status == 1)
            u.dflt_status = vant::mirror::put_dflt_fields(u.record.d_name_present, &u.record.prd,
                                                          &u.record.prg);
    }
    write_database(u);
    if (!u.mirroring)
        u.dflt_status = 1;
    else if (!u.settled)
        settle(u);
    if (u.db_status == 0)
        vant::frame::audit_auth_entry(u.name, VANT_OBJ_DEFAULT, "cannot update entry");
    if (u.dflt_status == 0)
        vant::frame::audit_auth_entry("/etc/default files", VANT_OBJ_DEFAULT, "cannot update");
    return u.db_status == 1 && u.dflt_status == 1 ? 1 : 0;
}

}  // namespace

namespace vant::databases {

int putprdfnam(const char *name, struct pr_default *record) {
    if (name == nullptr || record == nullptr || !storable(name) || !storable(record)) return 0;
    Update u{strdup(name), *record};
    if (u.name == nullptr) {
        frame::audit_no_memory();
        return 0;
    }
    vant::frame::QuietZone quiet;
    int result = put(u);
    databases::endprdfent();
    free(u.name);
    return result;
}

}  // namespace vant::databases
