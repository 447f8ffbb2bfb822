// Wrappers of the kernel's security system call. They print nothing and
// pass the kernel's failures through as -1 with its error number.
#include "frame/frame.h"
#include "platform/security_call.h"
#include "vant.h"

using vant::platform::security_call;

namespace {

constexpr int kObjectProcess = 5;

long success_or_failure(long result) {
    return result == 0 ? 0 : -1;
}

}  // namespace

namespace vant::frame {

int stopio(const char *path) {
    return success_or_failure(security_call(vant::platform::kStopIo, reinterpret_cast<long>(path)));
}

int getluid(void) {
    return static_cast<int>(security_call(vant::platform::kGetLuid));
}

int setluid(int uid) {
    return success_or_failure(security_call(vant::platform::kSetLuid, uid & 0xFFFF));
}

int statpriv(int type, priv_t *vector, int object, int *word) {
    return static_cast<int>(security_call(vant::platform::kStatPriv, type,
                                          reinterpret_cast<long>(vector), object,
                                          reinterpret_cast<long>(word)));
}

int chpriv(int type, priv_t *vector, int object, int *word) {
    return success_or_failure(security_call(vant::platform::kChPriv, type,
                                            reinterpret_cast<long>(vector), object,
                                            reinterpret_cast<long>(word)));
}

int getpriv(int type, priv_t *vector) {
    int zero = 0;
    return frame::statpriv(type, vector, kObjectProcess, &zero);
}

int setpriv(int type, priv_t *vector) {
    int zero = 0;
    return frame::chpriv(type, vector, kObjectProcess, &zero);
}

}  // namespace vant::frame
