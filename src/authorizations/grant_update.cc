// Rewriting a grant file or dflt_users: every other user's line is copied
// as it stands, the user's own lines are replaced by at most one.
#include "authorizations/grant_update.h"

#include <errno.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "authorizations/authorizations.h"
#include "authorizations/grants.h"
#include "platform/root.h"

namespace vant::authorizations {
namespace {

// Copies `in` (null: a file that does not exist yet) to `out`; the lines
// that `is_users` recognises give way to one line by `write_users` when
// adding. An unterminated last line is ended, so that nothing appended
// joins it.
template <typename IsUsers, typename WriteUsers>
bool copy_lines(FILE *in, FILE *out, bool add, IsUsers is_users, WriteUsers write_users) {
    LineReader lines(in);
    bool ok = true, placed = false, ended = true;
    while (char *line = ok ? lines.next() : nullptr) {
        size_t length = lines.length();
        if (!is_users(line, length)) {
            ok = fwrite(line, 1, length, out) == length;
            ended = line[length - 1] == '\n';
        } else if (!placed) {
            placed = true;
            if (add) ok = write_users(out);
        }
    }
    if (lines.failed()) return false;
    if (ok && !ended) ok = fputc('\n', out) != EOF;
    if (ok && add && !placed) ok = write_users(out);
    return ok;
}

// A file that cannot be read is not an empty one: only a missing file is,
// or every other user's grants would be lost.
template <typename IsUsers, typename WriteUsers>
bool rewrite(const char *path, const char *purpose, bool add, IsUsers is_users,
             WriteUsers write_users) {
    auto result = authdb::update_database(path, purpose, [&](FILE *out) {
        errno = 0;
        FILE *in = platform::fopen_file(path, "r");
        if (in == nullptr && errno != ENOENT) return false;
        return copy_lines(in, out, add, is_users, write_users);
    });
    return result == authdb::UpdateResult::replaced;
}

// The user, ":", and the names that belong to the subsystem, in list order.
bool write_subsystem_line(FILE *out, const char *primary, const Grant &grant) {
    bool ok = fprintf(out, "%s:", grant.user) >= 0;
    const char *separator = "";
    for (int i = 0; ok && i < grant.count; ++i) {
        if (!belongs_to(grant.names[i], primary)) continue;
        ok = fprintf(out, "%s%s", separator, grant.names[i]) >= 0;
        separator = ",";
    }
    return ok && fputc('\n', out) != EOF;
}

}  // namespace

bool belongs_to(const char *name, const char *primary) {
    if (name == nullptr || name[0] == '\0') return false;
    if (strcmp(name, primary) == 0) return true;
    const char *own = authorizations::primary_of_secondary_auth(name);
    return own != nullptr && strcmp(own, primary) == 0;
}

bool write_subsystem_file(const char *primary, const Grant &grant, bool add) {
    OwnedText path(authdb::find_auth_file(primary, VANT_OBJ_AUTHORIZE));
    if (path == nullptr) return false;
    return rewrite(
        path.get(), "rewrite subsystem database", add,
        [&](const char *line, size_t length) { return line_user(line, length) == grant.user; },
        [&](FILE *out) { return write_subsystem_line(out, primary, grant); });
}

bool update_default_file(const char *user, bool add) {
    OwnedText path(authdb::find_auth_file(kDefaultUsers, VANT_OBJ_AUTHORIZE));
    if (path == nullptr) return false;
    return rewrite(
        path.get(), "rewrite default user file in subsystems database", add,
        [&](const char *line, size_t length) { return line_text(line, length) == user; },
        [&](FILE *out) { return fprintf(out, "%s\n", user) >= 0; });
}

}  // namespace vant::authorizations
