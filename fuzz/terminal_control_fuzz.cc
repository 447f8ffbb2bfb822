// The Terminal Control database through its readers.
#include "databases/databases.h"
#include "support/fuzz_root.h"

namespace {
constexpr int kMostEntries = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root().write("/etc/auth/system/ttys", fuzz::whole(data, size), 0664);
    databases::setprtcent();
    for (int i = 0; i < kMostEntries && databases::getprtcent() != nullptr; ++i) {
    }
    databases::getprtcnam("tty1");
    databases::endprtcent();
    fuzz::end_input();
    return 0;
}
