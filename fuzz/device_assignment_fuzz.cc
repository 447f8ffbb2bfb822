// The Device Assignment database through its readers, each record copied
// as a client copies it.
#include <stdlib.h>

#include "databases/databases.h"
#include "support/fuzz_root.h"

namespace {
constexpr int kMostEntries = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root().write("/etc/auth/system/devassign", fuzz::whole(data, size), 0664);
    databases::setdvagent();
    for (int i = 0; i < kMostEntries; ++i) {
        struct dev_asg *record = databases::getdvagent();
        if (record == nullptr) break;
        free(databases::copydvagent(record));
    }
    databases::getdvagnam("tty1");
    databases::enddvagent();
    fuzz::end_input();
    return 0;
}
