// The login and password defaults files, read into the site settings.
#include "login/login_defaults.h"
#include "support/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::Input in(data, size);
    test::Sandbox &box = fuzz::root();
    box.write("/etc/default/login", in.next());
    box.write("/etc/default/passwd", in.next());
    login::getlgdefaults();
    login::getpwdefaults();
    login::login_settings() = login::LoginSettings{};
    login::password_settings() = login::PasswordSettings{};
    fuzz::end_input();
    return 0;
}
