// The layer finds the host's NIS hooks at run time, and answers as a host
// without NIS when they are absent.
#include "platform/nis.h"

#include <gtest/gtest.h>

#include "support/nis_fake.h"

namespace vant::test {
namespace {

using namespace platform;

// Each hook's answer, as a host without NIS gives it unless scripted.
std::vector<std::string> answers() {
    auto text = [](const char *s) { return std::string(s != nullptr ? s : "(null)"); };
    std::vector<std::string> out;
    for (int bit :
         std::initializer_list<int>{nis_has_stream_hooks(), nis_has_rewind(), nis_has_getline(),
                                    nis_enabled(kNisUsers), nis_enabled(kNisGroups)})
        out.push_back(std::to_string(bit));
    out.push_back(text(nis_lookup("nisuser", "passwd.byname")));
    out.push_back(text(nis_lookup("other", "passwd.byname")));
    out.push_back(std::to_string(nis_control(3, 3)));
    out.push_back(text(nis_getline(3)));
    nis_rewind(3);
    out.push_back(text(nis_getline(3)));
    nis_reqtype(3, 2, "alice");
    nis_escape(3, "+bob");
    out.push_back(std::to_string(nis_stopped(3, "alice")));
    out.push_back(std::to_string(nis_hash("abc")));
    return out;
}

TEST(NisHooksTest, AbsentHooksAnswerAsWithoutNis) {
    EXPECT_EQ(answers(), (std::vector<std::string>{"0", "0", "0", "0", "0", "(null)", "(null)", "0",
                                                   "(null)", "(null)", "0", "0"}));
}

TEST(NisHooksTest, HooksTheHostProvidesAreCalled) {
    NisFake &host = nis();
    host.enabled = {kNisUsers};
    host.answers[{"passwd.byname", "nisuser"}] = "nisuser:x:4242:100::/:/bin/sh";
    host.stream = {"one", "two"};
    host.escapes_off = 5;
    host.stopped = 6;
    host.hash = [](const char *) { return 9; };
    EXPECT_EQ(answers(),
              (std::vector<std::string>{"1", "1", "1", "1", "0", "nisuser:x:4242:100::/:/bin/sh",
                                        "(null)", "5", "one", "one", "6", "9"}));
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"enabled(1)", "enabled(2)", "lookup(passwd.byname,nisuser)",
                                        "lookup(passwd.byname,other)", "control(3,3)", "getline(3)",
                                        "rewind(3)", "getline(3)", "reqtype(3,2,alice)",
                                        "escape(3,+bob)", "stopped(3,alice)"}));
}

}  // namespace
}  // namespace vant::test
