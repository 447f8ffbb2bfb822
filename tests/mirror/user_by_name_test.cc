// A user looked up through the name index is the user the whole-file parse
// gives, field by field, whatever the file holds.
#include <pwd.h>
#include <stdio.h>

#include <random>
#include <string>

#include "mirror/user_by_name.h"
#include "platform/accounts.h"
#include "platform/clock.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

constexpr const char *kPasswd = "/etc/passwd";

std::string fields(const struct passwd *pw) {
    if (pw == nullptr) return "(none)";
    return std::string(pw->pw_name) + ":" + pw->pw_passwd + ":" + std::to_string(pw->pw_uid) + ":" +
           std::to_string(pw->pw_gid) + ":" + pw->pw_gecos + ":" + pw->pw_dir + ":" + pw->pw_shell;
}

// Duplicates, lines the parser skips (a uid that is no number, too few
// fields, comments) ahead of good lines of the same name, long lines, and
// a last line without its newline; `extra` adds one kind of line that
// makes the index step aside.
std::string generated_file(unsigned seed, const std::string &extra) {
    std::mt19937 pick(seed);
    std::string text;
    for (int i = 0; i < 300; ++i) {
        std::string name = "u" + std::to_string(pick() % 100);
        switch (pick() % 8) {
            case 0:
                text += name + ":x:uid:100::/:/bin/sh\n";
                break;
            case 1:
                text += name + ":x\n";
                break;
            case 2:
                text += "#" + name + ":x:1:1::/:\n";
                break;
            case 3:
                text += name + ":" + std::string(3000, 'p') + ":7:7::/:\n";
                break;
            default:
                text += name + ":x:" + std::to_string(i) + ":100:g:/home/" + name + ":/bin/sh\n";
        }
        if (i == 0) text += extra;  // ahead of every other line of its name
    }
    return text + "last:x:9:9::/:/bin/sh";
}

class UserByNameTest : public SandboxTest {
  protected:
    // Files written by the test count as settled.
    void SetUp() override {
        platform::set_clock_function([] { return time(nullptr) + 100; });
    }
    void TearDown() override { platform::set_clock_function(nullptr); }

    void expect_same_answers() {
        for (int i = 0; i < 105; ++i) {
            std::string name = i < 100 ? "u" + std::to_string(i) : i == 100 ? "last" : "nosuch";
            std::string indexed = fields(mirror::user_by_name(name.c_str()));
            EXPECT_EQ(indexed, fields(platform::getpwnam(name.c_str()))) << name;
        }
    }
};

TEST_F(UserByNameTest, EveryAnswerIsTheWholeFileParses) {
    for (const char *extra : {"", "  u5:x:555:1::/:\n", "+u6::::::\n", "-u7\n"}) {
        SCOPED_TRACE(extra);
        for (unsigned seed = 1; seed <= 3; ++seed) {
            box.write(kPasswd, generated_file(seed, extra));
            expect_same_answers();
            expect_same_answers();  // now from the index built by the first round
        }
    }
    EXPECT_TRUE(box.exists("/etc/auth/system/pw_name_index"));
}

TEST_F(UserByNameTest, FilesReplacedOrTruncatedBetweenLookups) {
    box.write(kPasswd, generated_file(4, ""));
    expect_same_answers();
    box.write("/etc/passwd.new", generated_file(5, ""));
    ASSERT_EQ(rename(box.path("/etc/passwd.new").c_str(), box.path(kPasswd).c_str()), 0);
    expect_same_answers();
    ASSERT_EQ(truncate(box.path(kPasswd).c_str(), 5000), 0);
    expect_same_answers();
}

TEST_F(UserByNameTest, AnIndexOfAnotherFileIsNeverBelieved) {
    box.write(kPasswd, generated_file(6, ""));
    expect_same_answers();
    std::string other = box.read("/etc/auth/system/pw_name_index");
    box.write(kPasswd, generated_file(7, ""));
    box.write("/etc/auth/system/pw_name_index", other, 0644);
    expect_same_answers();
}

}  // namespace
}  // namespace vant::test
