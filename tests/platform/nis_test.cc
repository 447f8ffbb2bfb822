// The layer finds the host's NIS hooks at run time, and answers as a host
// without NIS when they are absent.
#include "platform/nis.h"

#include <gtest/gtest.h>

#include "support/nis_fake.h"

namespace vant::test {
namespace {

using Calls = std::vector<std::string>;

TEST(NisHooksTest, HooksTheHostProvidesAreCalled) {
    NisFake &host = nis();
    host.enabled = {platform::kNisUsers};
    host.answers[{"passwd.byname", "nisuser"}] = "nisuser:x:4242:100::/:/bin/sh";
    host.stream = {"one", "two"};
    host.escapes_off = 5;
    host.stopped = 6;
    host.hash = [](const char *) { return 9; };

    EXPECT_EQ(platform::nis_enabled(platform::kNisUsers), 1);
    EXPECT_EQ(platform::nis_enabled(platform::kNisGroups), 0);
    EXPECT_STREQ(platform::nis_lookup("nisuser", "passwd.byname"), "nisuser:x:4242:100::/:/bin/sh");
    EXPECT_EQ(platform::nis_lookup("other", "passwd.byname"), nullptr);
    EXPECT_EQ(platform::nis_control(3, 3), 5);
    EXPECT_STREQ(platform::nis_getline(3), "one");
    platform::nis_rewind(3);
    EXPECT_STREQ(platform::nis_getline(3), "one");
    platform::nis_reqtype(3, 2, "alice");
    platform::nis_escape(3, "+bob");
    EXPECT_EQ(platform::nis_stopped(3, "alice"), 6);
    EXPECT_EQ(platform::nis_hash("abc"), 9);
    EXPECT_TRUE(platform::nis_has_rewind());
    EXPECT_TRUE(platform::nis_has_getline());
    EXPECT_TRUE(platform::nis_has_stream_hooks());
    EXPECT_EQ(host.calls,
              (Calls{"enabled(1)", "enabled(2)", "lookup(passwd.byname,nisuser)",
                     "lookup(passwd.byname,other)", "control(3,3)", "getline(3)", "rewind(3)",
                     "getline(3)", "reqtype(3,2,alice)", "escape(3,+bob)", "stopped(3,alice)"}));
}

TEST(NisHooksTest, AbsentHooksAnswerAsWithoutNis) {
    EXPECT_FALSE(platform::nis_has_stream_hooks());
    EXPECT_FALSE(platform::nis_has_rewind());
    EXPECT_FALSE(platform::nis_has_getline());
    EXPECT_EQ(platform::nis_enabled(platform::kNisUsers), 0);
    EXPECT_EQ(platform::nis_lookup("nisuser", "passwd.byname"), nullptr);
    EXPECT_EQ(platform::nis_getline(3), nullptr);
    EXPECT_EQ(platform::nis_control(3, 3), 0);
    EXPECT_EQ(platform::nis_stopped(3, "alice"), 0);
    EXPECT_EQ(platform::nis_hash("abc"), 0);
    platform::nis_rewind(3);  // absent: nothing happens
    platform::nis_reqtype(3, 2, "alice");
    platform::nis_escape(3, "+bob");
}

}  // namespace
}  // namespace vant::test
