#include "platform/security_call.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>

#include "platform/descriptor.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::platform {
namespace {

constexpr int kPrivTypes = 8;
constexpr uint32_t kNoLoginUid = 0xFFFFFFFFu;

struct State {
    const char *loginuid_file = "/proc/self/loginuid";
    uint32_t privileges[kPrivTypes] = {};
};
State state;

long missing_facility() {
    raise(SIGSYS);
    errno = ENOSYS;
    return -1;
}

bool facility_present() {
    return access(state.loginuid_file, F_OK) == 0;
}

long read_loginuid() {
    FILE *f = fopen(state.loginuid_file, "re");
    if (f == nullptr) return -1;
    unsigned long value = kNoLoginUid;
    int n = fscanf(f, "%lu", &value);
    fclose(f);
    if (n != 1 || value == kNoLoginUid) return -1;
    return static_cast<long>(value);
}

long write_loginuid(long uid) {
    Descriptor fd(open(state.loginuid_file, O_WRONLY | O_CLOEXEC));
    if (!fd.is_open()) return -1;
    char text[16];
    int len = snprintf(text, sizeof text, "%ld", uid & 0xFFFF);
    bool written = write_all(fd.get(), text, static_cast<size_t>(len));
    return fd.close() && written ? 0 : -1;
}

long stop_io(const char *path) {
    if (path == nullptr) {
        errno = EFAULT;
        return -1;
    }
    Descriptor fd(open_file(path, O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!fd.is_open()) return -1;
    return ioctl(fd.get(), TIOCVHANGUP) == 0 ? 0 : -1;
}

bool valid_type(long type) {
    return type >= 0 && type < kPrivTypes;
}

long stat_priv(long type, uint32_t *vector) {
    if (!valid_type(type) || vector == nullptr) {
        errno = EINVAL;
        return -1;
    }
    *vector = state.privileges[type];
    return 0;
}

long change_priv(long type, const uint32_t *vector) {
    if (!valid_type(type) || vector == nullptr) {
        errno = EINVAL;
        return -1;
    }
    state.privileges[type] = *vector;
    return 0;
}

}  // namespace

long security_call(int subcode, long a1, long a2, long, long) {
    if (!facility_present()) return missing_facility();
    switch (subcode) {
        case kStopIo:
            return stop_io(reinterpret_cast<const char *>(a1));
        case kGetLuid:
            return read_loginuid();
        case kSetLuid:
            return write_loginuid(a1);
        case kStatPriv:
            return stat_priv(a1, reinterpret_cast<uint32_t *>(a2));
        case kChPriv:
            return change_priv(a1, reinterpret_cast<const uint32_t *>(a2));
        default:
            errno = EINVAL;
            return -1;
    }
}

void set_loginuid_file_for_tests(const char *path) {
    state.loginuid_file = path;
}

}  // namespace vant::platform
