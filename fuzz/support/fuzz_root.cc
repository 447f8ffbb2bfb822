#include "support/fuzz_root.h"

#include <algorithm>

#include "frame/frame.h"
#include "frame/messages.h"
#include "platform/clock.h"
#include "vant.h"

namespace vant::fuzz {
namespace {

constexpr std::string_view kSeparator = "\n%%\n";

// A small system: shadowed users, four declared command privileges, and
// the System Default entry with mirroring off.
constexpr const char *kFiles[][2] = {
    {"/etc/shadow",
     "root:$1$rootpw:19000:0:99999:7:::\n"
     "alice:abcdefghijklm:19000:0:99999:7:::\n"
     "bob:nopqrstuvwxyz:19000:0:99999:7:::\n"},
    {"/etc/auth/system/authorize", "audit:audittrail\nauth:su\n"},
    {"/etc/auth/system/default", "default:d_name=default:u_maxlen#8:chkent:\n"},
};
constexpr const char *kEntryDirectories[] = {"/tcb/files/auth/a", "/tcb/files/auth/b",
                                             "/tcb/files/auth/r"};

time_t epoch() {
    return 0;
}
void no_sleep(long) {}

bool start(const test::Sandbox &box) {
    for (const auto &file : kFiles)
        box.write(file[0], file[1]);
    for (const char *dir : kEntryDirectories)
        box.mkdir(dir);
    platform::set_clock_function(epoch);
    platform::set_sleep_function(no_sleep);
    static char program[] = "fuzz";
    static char *argv[] = {program, nullptr};
    frame::set_auth_parameters(1, argv);
    frame::set_auth_msg(VANT_MSG_STORE);
    return true;
}

}  // namespace

test::Sandbox &root() {
    static test::Sandbox box;
    [[maybe_unused]] static bool started = start(box);
    return box;
}

void end_input() {
    frame::get_auth_msg(nullptr);
}

Input::Input(const uint8_t *data, size_t size) {
    if (size == 0) return;
    choice_ = data[0];
    text_ = std::string_view(reinterpret_cast<const char *>(data) + 1, size - 1);
}

std::string Input::next() {
    std::string_view left = text_.substr(std::min(at_, text_.size()));
    size_t end = left.find(kSeparator);
    if (end == std::string_view::npos) {
        at_ = text_.size();
        return std::string(left);
    }
    at_ += end + kSeparator.size();
    return std::string(left.substr(0, end));
}

}  // namespace vant::fuzz
