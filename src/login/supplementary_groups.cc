#include "login/supplementary_groups.h"

#include <errno.h>
#include <grp.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "mirror/user_by_name.h"
#include "platform/accounts.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr const char *kGroupsFile = ".suppgroups";
// A line holds at most 16 characters before its newline.
constexpr int kLinePiece = 18;

// Warnings are counted, not shown: the caller decides whether a list with
// groups left out is good enough to log in with.
struct Builder {
    int ngrps = 0;
    int warnings = 0;
    int lineno = 0;
    FILE *msgfp = nullptr;
    std::string sg_file_path;
    // Per group entry of the group file: each warning is given once.
    bool multiple_entry = false;
    bool group_overflow = false;
};
Builder state;

void warning() {
    ++state.warnings;
}

int fail(int error) {
    errno = error;
    return -1;
}

bool in_vector(gid_t gid, const gid_t list[]) {
    for (int i = 0; i < state.ngrps; ++i)
        if (list[i] == gid) return true;
    return false;
}

bool has_room(int vectorsize) {
    return state.ngrps < vectorsize - 1;
}

void reset(FILE *msgfp) {
    state.ngrps = 0;
    state.warnings = 0;
    state.lineno = 0;
    state.msgfp = msgfp;
}

int end_list(gid_t list[]) {
    list[state.ngrps] = kNoGroup;
    return state.warnings;
}

bool is_member(const struct group &g, const char *user) {
    for (char **m = g.gr_mem; m != nullptr && *m != nullptr; ++m)
        if (strcmp(*m, user) == 0) return true;
    return false;
}

void add_group1(const struct group &g, int vectorsize, gid_t list[]) {
    if (!in_vector(g.gr_gid, list) && !state.group_overflow) {
        if (has_room(vectorsize)) {
            list[state.ngrps++] = g.gr_gid;
        } else {
            warning();
            state.group_overflow = true;
        }
    } else if (!state.multiple_entry) {
        warning();
        state.multiple_entry = true;
    }
}

gid_t in_allowsg(const char *user, const char *group, gid_t base) {
    const struct group *g = platform::getgrnam(group);
    if (g == nullptr) {
        warning();
        return kNoGroup;
    }
    if (g->gr_gid == base) return base;
    if (is_member(*g, user)) return g->gr_gid;
    warning();
    return kNoGroup;
}

void add_group2(const char *user, const char *group, gid_t base, int vectorsize, gid_t list[]) {
    gid_t gid = in_allowsg(user, group, base);
    if (gid == kNoGroup) return;
    if (in_vector(gid, list) || !has_room(vectorsize))
        warning();
    else
        list[state.ngrps++] = gid;
}

// The home directory's .suppgroups file, the directory taken as absolute.
std::string groups_file_of(const char *home) {
    std::string path = home[0] == '/' ? "" : "/";
    path += home;
    if (path.back() != '/') path += '/';
    return path + kGroupsFile;
}

void skip_rest_of_line(FILE *f) {
    int c;
    while ((c = getc(f)) != EOF && c != '\n') {
    }
}

}  // namespace

int usersgroups(const char *user, gid_t base, int vectorsize, gid_t list[], FILE *msgfp) {
    reset(msgfp);
    if (vectorsize < 1) return fail(EINVAL);
    if (base != kNoGroup) {
        if (vectorsize < 2)
            warning();
        else
            list[state.ngrps++] = base;
    }
    platform::setgrent();
    while (const struct group *g = platform::getgrent()) {
        state.multiple_entry = state.group_overflow = false;
        for (char **m = g->gr_mem; m != nullptr && *m != nullptr; ++m) {
            if (strcmp(*m, user) != 0) continue;
            if (g->gr_gid == base)
                base = kNoGroup;
            else
                add_group1(*g, vectorsize, list);
        }
    }
    platform::endgrent();
    return end_list(list);
}

int readsgfile(const char *user, gid_t base, int vectorsize, gid_t list[]) {
    FILE *f = platform::fopen_file(state.sg_file_path.c_str(), "r");
    if (f == nullptr) {
        warning();
        return end_list(list);
    }
    char line[kLinePiece];
    while (fgets(line, sizeof line, f) != nullptr) {
        ++state.lineno;
        size_t length = strlen(line);
        if (length == 0 || line[length - 1] != '\n') {
            warning();
            skip_rest_of_line(f);
            continue;
        }
        line[length - 1] = '\0';
        if (line[0] != '\0') add_group2(user, line, base, vectorsize, list);
    }
    fclose(f);
    platform::endgrent();
    return end_list(list);
}

int getbasesg(const char *user, int vectorsize, gid_t list[], FILE *msgfp) {
    reset(msgfp);
    if (vectorsize < 1) return fail(EINVAL);
    const struct passwd *pw = mirror::user_by_name(user);
    if (pw == nullptr) return fail(EINVAL);
    gid_t base = pw->pw_gid;
    try {
        state.sg_file_path = groups_file_of(pw->pw_dir != nullptr ? pw->pw_dir : "");
    } catch (const std::bad_alloc &) {
        return fail(ENOMEM);
    }
    if (platform::access_file(state.sg_file_path.c_str(), F_OK, platform::kEffectiveIds) == 0)
        return readsgfile(user, base, vectorsize, list);
    if (errno == ENOENT || errno == EACCES) return usersgroups(user, base, vectorsize, list, msgfp);
    return -1;
}

int setbasesg(const char *user, FILE *msgfp) {
    state.warnings = 0;
    errno = 0;
    long maximum = sysconf(_SC_NGROUPS_MAX);
    if (maximum < 0) return -1;
    if (maximum == 0) return 0;
    auto *list = static_cast<gid_t *>(calloc(static_cast<size_t>(maximum) + 1, sizeof(gid_t)));
    if (list == nullptr) return fail(ENOMEM);
    int warnings = getbasesg(user, static_cast<int>(maximum) + 1, list, msgfp);
    int installed = warnings < 0 ? -1 : setgroups(static_cast<size_t>(state.ngrps), list);
    free(list);
    return installed < 0 ? -1 : warnings;
}

}  // namespace vant::login
