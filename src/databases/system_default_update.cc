// Replacing, adding or deleting one System Default entry, and, for the
// entry "default", mirroring it into the /etc/default files.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/system_default.h"
#include "frame/frame.h"
#include "mirror/dflt_files.h"
#include "mirror/mirror.h"
#include "mirror/pw_files.h"
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
    // What writing the new version found.
    bool written = false;   // every entry was copied and written
    bool changed = false;   // the entry was found, or appended
    bool withheld = false;  // complete, but the /etc/default half decides against it
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

// Whether the new version goes into place.
bool write_new_version(Update &u, const char *path, FILE *out) {
    reset_default(path);
    bool ok = copy_entries(u, out);
    if (ok && !u.changed && u.record.d_name_present != 0) {
        ok = store_df_fields(out, u.name, &u.record) == 1;
        u.changed = true;
    }
    u.written = ok;
    if (!ok || !u.changed) return false;
    if (!u.mirroring) return true;
    // With integrity on, or with the /etc files authoritative, the
    // database does not go ahead of /etc/default files that could not be
    // prepared.
    bool install = u.dflt_status == 1 || (u.integrity == 0 && u.authority != 0);
    u.withheld = !install;
    return install;
}

int write_database(Update &u) {
    char *path = vant::authdb::find_auth_file(nullptr, VANT_OBJ_DEFAULT);
    UpdateResult result = UpdateResult::not_started;
    if (path != nullptr)
        result = vant::authdb::update_database(
            path, "make new System Default database",
            [&](FILE *out) { return write_new_version(u, path, out); });
    free(path);
    if (result == UpdateResult::replaced) return 1;
    if (result == UpdateResult::not_started) return 0;
    return u.written && (!u.changed || u.withheld) ? 1 : 0;
}

// The /etc/default half, once the database half is settled; its status.
// Where one half fails, the side that leads may still be written, but the
// update is not reported as done.
int settle_dflt_files(const Update &u, int &db_status) {
    using namespace vant::mirror;
    if (u.dflt_status == 1 && db_status == 1) return replace_dflt_files();
    if (u.integrity != 0) {
        unlock_dflt_files();
        return u.dflt_status;
    }
    if (u.authority == 0 && u.dflt_status == 1) return replace_dflt_files();
    unlock_dflt_files();
    // Only a database that leads stays in place.
    if (u.authority == 0) db_status = 0;
    return 0;
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
    int db_status = write_database(u);
    int dflt_status = u.mirroring ? settle_dflt_files(u, db_status) : 1;
    if (db_status == 0)
        vant::frame::audit_auth_entry(u.name, VANT_OBJ_DEFAULT, "cannot update entry");
    if (dflt_status == 0)
        vant::frame::audit_auth_entry("/etc/default files", VANT_OBJ_DEFAULT, "cannot update");
    return db_status == 1 && dflt_status == 1 ? 1 : 0;
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
    vant::authdb::QuietZone quiet;
    int result = put(u);
    databases::endprdfent();
    free(u.name);
    return result;
}

}  // namespace vant::databases
