// Rewriting a grant file or dflt_users: every other user's line is copied
// as it stands, the user's own lines are replaced by at most one.
#include "authorizations/grant_update.h"

#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_rewrite.h"
#include "authdb/update.h"
#include "authorizations/authorizations.h"
#include "authorizations/grants.h"

namespace vant::authorizations {
namespace {

// The lines that `is_users` recognises give way to one line by
// `write_users` when adding, in place of the first of them or last.
template <typename IsUsers, typename WriteUsers>
class UserLinesRewrite final : public authdb::EntryRewrite {
  public:
    UserLinesRewrite(bool add, IsUsers is_users, WriteUsers write_users)
        : add_(add), is_users_(is_users), write_users_(write_users) {}

    Verdict decide(FILE *, long, const char *line, size_t length) override {
        return is_users_(line, length) ? Verdict::replace : Verdict::keep;
    }

    bool write_replacement(FILE *out) override {
        if (!add_ || placed_) return true;
        placed_ = true;
        return write_users_(out);
    }

  private:
    bool add_;
    bool placed_ = false;
    IsUsers is_users_;
    WriteUsers write_users_;
};

template <typename IsUsers, typename WriteUsers>
bool rewrite(const char *path, const char *purpose, bool add, IsUsers is_users,
             WriteUsers write_users) {
    UserLinesRewrite<IsUsers, WriteUsers> lines(add, is_users, write_users);
    auto result = authdb::update_database(path, purpose, [&](FILE *out) {
        return authdb::rewrite_database(path, out, lines, authdb::EntryLayout::lines);
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
    OwnedText path = authdb::find_auth_file(primary, VANT_OBJ_AUTHORIZE);
    if (path == nullptr) return false;
    return rewrite(
        path.get(), "rewrite subsystem database", add,
        [&](const char *line, size_t length) { return line_user(line, length) == grant.user; },
        [&](FILE *out) { return write_subsystem_line(out, primary, grant); });
}

bool update_default_file(const char *user, bool add) {
    OwnedText path = authdb::find_auth_file(kDefaultUsers, VANT_OBJ_AUTHORIZE);
    if (path == nullptr) return false;
    return rewrite(
        path.get(), "rewrite default user file in subsystems database", add,
        [&](const char *line, size_t length) { return line_text(line, length) == user; },
        [&](FILE *out) { return fprintf(out, "%s\n", user) >= 0; });
}

}  // namespace vant::authorizations
