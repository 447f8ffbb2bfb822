// The System Default database with the /etc/default files merged into it,
// under every override mode, and with the merge switched off.
#include "databases/databases.h"
#include "mirror/mirror.h"
#include "support/fuzz_root.h"

namespace {
constexpr int kMostEntries = 64;
constexpr int kOverrideModes = 4;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::Input in(data, size);
    test::Sandbox &box = fuzz::root();
    box.write("/etc/auth/system/default", in.next(), 0664);
    box.write("/etc/default/passwd", in.next());
    box.write("/etc/default/login", in.next());
    mirror::set_override_mode(static_cast<int>(in.choice() % kOverrideModes));
    if (in.choice() & 0x80) databases::disable_etc_default();
    databases::getprdfnam("default");
    databases::setprdfent();
    for (int i = 0; i < kMostEntries && databases::getprdfent() != nullptr; ++i) {
    }
    databases::endprdfent();
    databases::enable_etc_default();
    mirror::set_override_mode(OVERRIDE_NONE);
    fuzz::end_input();
    return 0;
}
