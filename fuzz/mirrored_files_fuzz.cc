// /etc/passwd and /etc/shadow as a lookup mirrors them, under every
// override mode and every mirroring rule of the System Default entry.
#include "databases/databases.h"
#include "mirror/mirror.h"
#include "support/fuzz_root.h"

namespace {

// Integrity on; integrity off with the protected side leading; the
// conventional files leading.
constexpr const char *kRules[] = {"u_integrity", "u_integrity@", "u_integrity@:u_tcbpw@"};
constexpr int kOverrideModes = 4;
constexpr const char *kEntry = "alice:u_name=alice:u_id#1000:u_pwd=abcdefghijklm:chkent:\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::Input in(data, size);
    const char *rule = kRules[in.choice() / kOverrideModes % std::size(kRules)];
    test::Sandbox &box = fuzz::root();
    box.write("/etc/auth/system/default",
              std::string("default:d_name=default:") + rule + ":chkent:\n");
    box.write("/tcb/files/auth/a/alice", kEntry, 0660);
    box.write("/etc/passwd", in.next());
    box.write("/etc/shadow", in.next(), 0640);
    mirror::set_override_mode(static_cast<int>(in.choice() % kOverrideModes));
    databases::getprpwnam("alice");
    databases::getprpwnam("bob");
    mirror::set_override_mode(OVERRIDE_NONE);
    fuzz::end_input();
    return 0;
}
