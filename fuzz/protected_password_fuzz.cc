// A user's Protected Password entry, looked up with mirroring off.
#include "databases/databases.h"
#include "support/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root().write("/tcb/files/auth/a/alice", fuzz::whole(data, size), 0660);
    databases::getprpwnam("alice");
    databases::getprpwuid(1000);
    fuzz::end_input();
    return 0;
}
