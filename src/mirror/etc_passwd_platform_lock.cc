// The platform's own account tools serialise their rewrites of /etc/passwd
// and /etc/shadow on a write lock of /etc/.pwd.lock; while this library
// rewrites those files it holds that lock as well.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::mirror {
namespace {

constexpr const char *kLockPath = "/etc/.pwd.lock";
constexpr mode_t kLockMode = 0600;
// About fifteen seconds in all.
constexpr int kAttempts = 150;
constexpr long kWait = 100;

struct PwdLockState {
    int fd = -1;
};
constinit PwdLockState state;

int open_lock_file() {
    int fd = platform::open_file(kLockPath, O_WRONLY | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = platform::open_file(kLockPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, kLockMode);
    if (fd >= 0 || errno != EEXIST) return fd;
    return platform::open_file(kLockPath, O_WRONLY | O_NOFOLLOW);
}

bool lock_whole_file(int fd) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    for (int attempt = 1;; ++attempt) {
        if (fcntl(fd, F_SETLK, &lock) == 0) return true;
        if ((errno != EACCES && errno != EAGAIN) || attempt >= kAttempts) return false;
        platform::nap(kWait);
    }
}

}  // namespace

bool lock_password_database() {
    if (state.fd >= 0) return true;
    int fd = open_lock_file();
    if (fd >= 0 && lock_whole_file(fd)) {
        state.fd = fd;
        return true;
    }
    if (fd >= 0) close(fd);
    frame::audit_no_resource(kLockPath, VANT_OBJ_FILE, "cannot be locked");
    return false;
}

// Closing the descriptor releases the lock.
void unlock_password_database() {
    if (state.fd < 0) return;
    close(state.fd);
    state.fd = -1;
}

}  // namespace vant::mirror
