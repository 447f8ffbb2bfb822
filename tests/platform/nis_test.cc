#include "platform/nis.h"

#include <sstream>

#include <gtest/gtest.h>

#include "support/nis_fake.h"

namespace vant::test {
namespace {

using namespace platform;

// Each hook's answer, "-" for no text.
std::string answers() {
    auto text = [](const char *s) { return s != nullptr ? s : "-"; };
    std::ostringstream out;
    out << nis_has_stream_hooks() << nis_has_rewind() << nis_has_getline() << nis_enabled(kNisUsers)
        << nis_enabled(kNisGroups) << ' ' << text(nis_lookup("nisuser", "passwd.byname")) << ' '
        << text(nis_lookup("other", "passwd.byname")) << ' ' << nis_control(3, 3) << ' '
        << text(nis_getline(3));
    nis_rewind(3);
    out << ' ' << text(nis_getline(3));
    nis_reqtype(3, 2, "alice");
    nis_escape(3, "+bob");
    out << ' ' << nis_stopped(3, "alice") << ' ' << nis_hash("abc");
    return out.str();
}

TEST(NisHooksTest, AbsentHooksAnswerAsWithoutNis) {
    EXPECT_EQ(answers(), "00000 - - 0 - - 0 0");
}

TEST(NisHooksTest, HooksTheHostProvidesAreCalled) {
    NisFake &host = nis();
    host.enabled = {kNisUsers};
    host.answers[{"passwd.byname", "nisuser"}] = "nisuser:x:4242:100::/:/bin/sh";
    host.stream = {"one", "two"};
    host.escapes_off = 5;
    host.stopped = 6;
    host.hash = [](const char *) { return 9; };
    EXPECT_EQ(answers(), "11110 nisuser:x:4242:100::/:/bin/sh - 5 one one 6 9");
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"enabled(1)", "enabled(2)", "lookup(passwd.byname,nisuser)",
                                        "lookup(passwd.byname,other)", "control(3,3)", "getline(3)",
                                        "rewind(3)", "getline(3)", "reqtype(3,2,alice)",
                                        "escape(3,+bob)", "stopped(3,alice)"}));
}

}  // namespace
}  // namespace vant::test
