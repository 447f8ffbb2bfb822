// Replacing, adding or deleting one Device Assignment entry. The other
// entries are copied as text, so comments and their layout survive.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_rewrite.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/device_assignment.h"
#include "databases/storable.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;
using vant::authdb::EntryRewrite;

namespace {

// The entry to write is the caller's record copied whole: a record just
// read points into the reader's buffers, which the update releases.
class DeviceRewrite final : public EntryRewrite {
  public:
    const char *name;
    const struct dev_asg *record;

    DeviceRewrite(const char *n, const struct dev_asg *r) : name(n), record(r) {}

    // The entry is found by its whole name field, as written, and replaced
    // with its continuation lines whether or not it can be read.
    Verdict decide(FILE *, long, const char *first_line, size_t) override {
        return match_name_buf(name, first_line) == 0 ? Verdict::replace : Verdict::keep;
    }

    bool write_replacement(FILE *out) override {
        if (!PR_V_ISSET(record->uflg, PR_V_NAME)) return true;
        return store_dv_fields(out, name, &record->ufld, &record->uflg) == 1;
    }
};

int update(DeviceRewrite &r) {
    using vant::authdb::UpdateResult;
    vant::authdb::OwnedText path = vant::authdb::find_auth_file(r.name, VANT_OBJ_DEVASSIGN);
    if (path == nullptr) return 0;
    UpdateResult result = vant::authdb::update_database(
        path.get(), "make new Device Assignment database",
        [&](FILE *out) { return vant::authdb::rewrite_database(path.get(), out, r); });
    if (result == UpdateResult::failed)
        vant::frame::audit_auth_entry(r.name, VANT_OBJ_DEVASSIGN, "cannot update entry");
    return result == UpdateResult::replaced ? 1 : 0;
}

int put(const char *name, const struct dev_asg *record) {
    if (!storable_name(name)) {
        vant::frame::audit_auth_entry(name, VANT_OBJ_DEVASSIGN, "cannot update entry");
        return 0;
    }
    char *own_name = strdup(name);
    if (own_name == nullptr) vant::frame::audit_no_memory();
    // Only the entry's own half is written, and only it is looked at.
    const struct dev_asg own_half = {record->ufld, record->uflg, {}, {}};
    struct dev_asg *own_record =
        own_name != nullptr ? vant::databases::copydvagent(&own_half) : nullptr;
    int result = 0;
    if (own_record != nullptr) {
        DeviceRewrite r(own_name, own_record);
        result = update(r);
    }
    free(own_record);
    free(own_name);
    return result;
}

}  // namespace

namespace vant::databases {

int putdvagnam(const char *name, struct dev_asg *record) {
    frame::check_auth_parameters();
    if (name == nullptr || record == nullptr) return 0;
    int result = put(name, record);
    databases::enddvagent();
    return result;
}

}  // namespace vant::databases
