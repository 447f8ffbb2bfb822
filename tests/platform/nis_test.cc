// Hooks defined here stand in for the host's NIS client; the layer must
// find them at run time.
#include "platform/nis.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

namespace {
std::string last_escape;
int rewinds = 0;
}  // namespace

// Visible to the dynamic linker, as a host library's hooks would be.
#define HOOK extern "C" __attribute__((visibility("default")))
HOOK int _nis_enabled(int kind) {
    return kind == 1 ? 1 : 0;
}
HOOK char *_nis_lookup(const char *key, const char *map) {
    static char line[] = "nisuser:x:4242:100::/:/bin/sh";
    return strcmp(map, "passwd.byname") == 0 && strcmp(key, "nisuser") == 0 ? line : nullptr;
}
HOOK void _nis_rewind(int) {
    ++rewinds;
}
HOOK int _nis_control(int kind, int request) {
    return kind * 10 + request;
}
HOOK void _nis_escape(int, const char *line) {
    last_escape = line;
}
HOOK int _nis_hash(const char *name) {
    return static_cast<int>(strlen(name));
}

namespace vant::test {
namespace {

TEST(NisHooksTest, DefinedHooksAreCalled) {
    EXPECT_EQ(platform::nis_enabled(platform::kNisUsers), 1);
    EXPECT_EQ(platform::nis_enabled(platform::kNisGroups), 0);
    EXPECT_STREQ(platform::nis_lookup("nisuser", "passwd.byname"), "nisuser:x:4242:100::/:/bin/sh");
    EXPECT_EQ(platform::nis_lookup("other", "passwd.byname"), nullptr);
    EXPECT_EQ(platform::nis_control(3, 4), 34);
    platform::nis_rewind(3);
    EXPECT_EQ(rewinds, 1);
    EXPECT_TRUE(platform::nis_has_rewind());
    platform::nis_escape(3, "+bob");
    EXPECT_EQ(last_escape, "+bob");
    EXPECT_EQ(platform::nis_hash("abc"), 3);
}

TEST(NisHooksTest, AbsentHooksAnswerAsWithoutNis) {
    EXPECT_FALSE(platform::nis_has_getline());
    EXPECT_EQ(platform::nis_getline(3), nullptr);
    EXPECT_EQ(platform::nis_stopped(3, "alice"), 0);
    platform::nis_reqtype(3, 2, "alice");  // absent: nothing happens
}

}  // namespace
}  // namespace vant::test
