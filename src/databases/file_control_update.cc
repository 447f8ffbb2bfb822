// Replacing or adding one File Control entry. The other entries are copied
// as text, so comments and the layout of untouched entries survive.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "databases/databases.h"
#include "databases/file_control.h"
#include "frame/frame.h"
#include "platform/root.h"
#include "vant.h"

using namespace vant::databases;

namespace {

// What is written in place of the entry `name`, or after the last entry.
struct Replacement {
    const char *name;
    struct f_field fields;
    struct f_flag flags;

    bool store(FILE *out) const { return store_fi_fields(out, name, &fields, &flags) == 1; }
    bool starts_entry(const char *line) const {
        size_t n = strlen(name);
        return strncmp(line, name, n) == 0 && line[n] == ':';
    }
};

bool continues(const char *line, ssize_t length) {
    return length >= 2 && line[length - 1] == '\n' && line[length - 2] == '\\';
}

// Copies `in` to `out`, the entry `r.name` (with its continuation lines)
// replaced. Whole lines are read, so that no piece of a long line is taken
// for the start of an entry.
bool copy_replacing(FILE *in, FILE *out, const Replacement &r, bool &found) {
    char *line = nullptr;
    size_t size = 0;
    ssize_t length;
    bool ok = true, continued = false, replacing = false, line_ended = true;
    while (ok && (length = getline(&line, &size, in)) > 0) {
        if (!continued) {
            replacing = r.starts_entry(line);
            if (replacing) {
                found = true;
                ok = r.store(out);
                line_ended = true;
            }
        }
        if (!replacing) {
            ok = fwrite(line, 1, static_cast<size_t>(length), out) == static_cast<size_t>(length);
            line_ended = line[length - 1] == '\n';
        }
        continued = continues(line, length);
    }
    free(line);
    // An entry appended after a last line without its newline would join it.
    if (ok && !line_ended) ok = fputc('\n', out) != EOF;
    return ok && feof(in) && !ferror(in);
}

// An unreadable database is not an empty one: only a missing file is.
bool write_new_version(const char *path, const Replacement &r, FILE *out) {
    bool found = false;
    FILE *in = vant::platform::fopen_file(path, "r");
    if (in == nullptr && errno != ENOENT) return false;
    if (in != nullptr) {
        bool copied = copy_replacing(in, out, r, found);
        fclose(in);
        if (!copied) return false;
    }
    return found || r.store(out);
}

int update(const char *path, const Replacement &r) {
    using vant::authdb::UpdateResult;
    UpdateResult result =
        vant::authdb::update_database(path, "make new File Control database",
                                      [&](FILE *out) { return write_new_version(path, r, out); });
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
    char *own_name = strdup(name);
    if (own_name == nullptr) {
        frame::audit_no_memory();
        return 0;
    }
    Replacement r{own_name, record->ufld, record->uflg};
    char *path = authdb::find_auth_file(own_name, VANT_OBJ_FILES);
    int result = path != nullptr ? update(path, r) : 0;
    databases::endprfient();
    free(path);
    free(own_name);
    return result;
}

}  // namespace vant::databases
