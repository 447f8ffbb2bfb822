// The File Control database through its readers, by pass and by path.
#include "databases/databases.h"
#include "support/fuzz_root.h"

namespace {
constexpr int kMostEntries = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root().write("/etc/auth/system/files", fuzz::whole(data, size), 0664);
    databases::setprfient();
    for (int i = 0; i < kMostEntries && databases::getprfient() != nullptr; ++i) {
    }
    databases::getprfinam("/etc/passwd");
    databases::getprfinam("/tcb/files/auth/a/alice");
    databases::endprfient();
    fuzz::end_input();
    return 0;
}
