// Replacing or adding one File Control entry. The other entries are copied
// as text, so comments and the layout of untouched entries survive.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_rewrite.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/file_control.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;

namespace {

// The entry `name` is found by the first line of its text and replaced
// with its continuation lines; without it, the new entry is added last.
class FileControlRewrite final : public vant::authdb::EntryRewrite {
  public:
    const char *name;
    struct f_field fields;
    struct f_flag flags;

    FileControlRewrite(const char *n, const struct pr_file *record)
        : name(n), fields(record->ufld), flags(record->uflg) {}

    Verdict decide(FILE *, long, const char *first_line, size_t) override {
        size_t n = strlen(name);
        return strncmp(first_line, name, n) == 0 && first_line[n] == ':' ? Verdict::replace
                                                                         : Verdict::keep;
    }

    bool write_replacement(FILE *out) override {
        return store_fi_fields(out, name, &fields, &flags) == 1;
    }
};

int update(const char *path, FileControlRewrite &r) {
    using vant::authdb::UpdateResult;
    UpdateResult result = vant::authdb::update_database(
        path, "make new File Control database",
        [&](FILE *out) { return vant::authdb::rewrite_database(path, out, r); });
    if (result == UpdateResult::failed)
        vant::frame::audit_auth_entry(r.name, VANT_OBJ_FILES, "cannot update entry");
    return result == UpdateResult::replaced ? 1 : 0;
}

}  // namespace

namespace vant::databases {

// The name and record are copied first: they may be the reader's own
// storage, which secure creation of the new file reads into.
int putprfinam(const char *name, struct pr_file *record) {
    if (name == nullptr || record == nullptr) return 0;
    authdb::OwnedText own_name(strdup(name));
    if (own_name == nullptr) {
        frame::audit_no_memory();
        return 0;
    }
    FileControlRewrite r(own_name.get(), record);
    authdb::OwnedText path = authdb::find_auth_file(own_name.get(), VANT_OBJ_FILES);
    int result = path != nullptr ? update(path.get(), r) : 0;
    databases::endprfient();
    return result;
}

}  // namespace vant::databases
