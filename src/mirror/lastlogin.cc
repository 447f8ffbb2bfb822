// The last-login marker: ".lastlogin" in the user's home directory, owned
// by the user, whose modification time is the time of the last successful
// login and whose access time is exactly two seconds earlier.
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::mirror {
namespace {

constexpr char kMarker[] = ".lastlogin";
constexpr time_t kMarkerGap = 2;
constexpr mode_t kMarkerMode = 0400;
constexpr int kHomeField = 5;  // colons before the home directory

// The home directory field of a /etc/passwd line, copied into `home`
// (kLineSize bytes); false when the line has too few fields.
bool home_of(const char *line, char *home, size_t size) {
    for (int colons = 0; colons < kHomeField; ++colons) {
        line = strchr(line, ':');
        if (line == nullptr) return false;
        ++line;
    }
    size_t length = strcspn(line, ":");
    if (length >= size) return false;
    memcpy(home, line, length);
    home[length] = '\0';
    return true;
}

// Acting as the user with the real user id 0: the user cannot signal the
// process meanwhile, and the return to effective user id 0 cannot be
// refused.
class ActingAs {
  public:
    ActingAs(uid_t user, gid_t group) {
        uid_t saved;
        gid_t real_group, saved_group;
        getresuid(&real_, &effective_, &saved);
        getresgid(&real_group, &effective_group_, &saved_group);
        if (setresgid(-1, group, -1) != 0) return;
        grouped_ = true;
        acting_ = setresuid(0, user, -1) == 0;
    }
    // The effective user id first: only as 0 may the real one be set back.
    ~ActingAs() {
        if (acting_) {
            setresuid(-1, effective_, -1);
            setresuid(real_, -1, -1);
        }
        if (grouped_) setresgid(-1, effective_group_, -1);
    }
    ActingAs(const ActingAs &) = delete;
    ActingAs &operator=(const ActingAs &) = delete;
    bool acting() const { return acting_; }

  private:
    uid_t real_ = 0, effective_ = 0;
    gid_t effective_group_ = 0;
    bool grouped_ = false;
    bool acting_ = false;
};

// Created as the user, so that it is the user's and that no link the user
// planted is followed; its times are set on the very file made.
void create_marker(const char *path, uid_t user, gid_t group, vant_time_t login) {
    int fd = -1;
    {
        ActingAs as(user, group);
        if (!as.acting()) return;
        fd = platform::open_file(path, O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW, kMarkerMode);
    }
    if (fd < 0) return;
    struct timespec times[2] = {{login - kMarkerGap, 0}, {login, 0}};
    futimens(fd, times);
    close(fd);
}

// Removes the user's old marker; false when something else stands there.
bool remove_old_marker(const char *path, vant_id_t user) {
    struct stat st;
    if (platform::lstat_file(path, &st) != 0) return errno == ENOENT;
    if (static_cast<vant_id_t>(st.st_uid) != user) return false;
    platform::unlink_file(path);
    return true;
}

}  // namespace

char *lastlogin_path(const char *dir) {
    if (dir == nullptr || dir[0] == '\0') return nullptr;
    size_t length = strlen(dir);
    const char *lead = dir[0] == '/' ? "" : "/";
    const char *slash = dir[length - 1] == '/' ? "" : "/";
    size_t size = strlen(lead) + length + strlen(slash) + sizeof kMarker;
    auto *path = static_cast<char *>(malloc(size));
    if (path == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    snprintf(path, size, "%s%s%s%s", lead, dir, slash, kMarker);
    return path;
}

void get_slogin(const char *home, struct pr_field *fields, struct pr_flag *flags) {
    if (fields == nullptr || flags == nullptr || !PR_ISSET(*flags, PR_U_ID)) return;
    char *path = lastlogin_path(home);
    if (path == nullptr) return;
    struct stat st;
    bool mine =
        platform::lstat_file(path, &st) == 0 && static_cast<vant_id_t>(st.st_uid) == fields->u_id &&
        st.st_mtime - st.st_atime == kMarkerGap && st.st_mtime >= 0 && st.st_mtime <= INT32_MAX;
    free(path);
    if (!mine) return;
    fields->u_suclog = static_cast<vant_time_t>(st.st_mtime);
    PR_SET(*flags, PR_U_SUCLOG);
}

void put_slogin(const char *old_line, const struct pr_field *fields, const struct pr_flag *flags) {
    if (geteuid() != 0 || fields == nullptr || flags == nullptr || !PR_ISSET(*flags, PR_U_ID) ||
        old_line == nullptr)
        return;
    char home[kLineSize];
    struct stat st;
    if (!home_of(old_line, home, sizeof home) || home[0] == '\0' ||
        platform::stat_file(home, &st) != 0)
        return;
    char *path = lastlogin_path(home);
    if (path == nullptr) return;
    if (remove_old_marker(path, fields->u_id) && PR_ISSET(*flags, PR_U_SUCLOG) &&
        fields->u_suclog >= 0 && PR_ISSET(*flags, PR_U_NAME)) {
        int group = frame::gr_nametoid("auth");
        if (group >= 0)
            create_marker(path, fields->u_id, static_cast<gid_t>(group), fields->u_suclog);
    }
    free(path);
}

}  // namespace vant::mirror
