// The replies of the password-quality checker. The checker stays running
// between inputs, as between proposals; after a reply of more than one line
// it is stopped, so that what it said too much is not the next input's
// answer.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "login/checker.h"
#include "login/login_defaults.h"
#include "support/fuzz_root.h"

namespace {

using namespace vant;

constexpr const char *kChecker = "/usr/bin/goodpw";

bool install_checker(const test::Sandbox &box) {
    std::filesystem::copy_file(VANT_FUZZ_CHECKER, box.path(kChecker),
                               std::filesystem::copy_options::overwrite_existing);
    chmod(box.path(kChecker).c_str(), 0755);
    setenv("VANT_FUZZ_REPLY", box.path("/reply").c_str(), 1);
    login::PasswordSettings &s = login::password_settings();
    s.read = true;
    s.goodpw_prog = kChecker;
    return true;
}

bool more_than_one_line(const std::string &reply) {
    size_t newline = reply.find('\n');
    return newline != std::string::npos && newline + 1 < reply.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    test::Sandbox &box = fuzz::root();
    [[maybe_unused]] static bool installed = install_checker(box);
    fuzz::Input in(data, size);
    std::string reply = in.rest();
    box.write("/reply", reply);
    if (!login::checker_running()) login::goodpw_set_checks(in.choice() % 4, in.choice() & 4);
    const char *text = nullptr;
    login::run_goodpw("candidate1", in.choice() & 8 ? "current1" : nullptr, &text);
    if (more_than_one_line(reply)) login::stop_checker();
    fuzz::end_input();
    return 0;
}
