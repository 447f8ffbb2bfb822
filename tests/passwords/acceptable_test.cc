// The spelling checker gets one word on its standard input, no arguments
// and a fixed environment.
#include <stdlib.h>

#include <string>
#include <vector>

#include "passwords/accept_pw.h"
#include "passwords/passwords_fixture.h"

namespace vant::test {
namespace {

const std::string kPalindrome = "0:Password must not be a palindrome\n";
const std::string kLogin = "0:Password is (or looks too much like) a login name to be a password\n";
const std::string kGroup = "0:Password is (or looks too much like) a group name to be a password\n";
const std::string kSpelling = "0:Password must not be a correctly spelt word\n";

using AcceptableTest = PasswordsTest;

// Only ASCII letters and digits go, lowered, to the spelling checker.
TEST_F(AcceptableTest, ChecksInTheirOrder) {
    dictionary_checker("hello\nword\n");
    box.write("/etc/passwd", std::string(kDefaultPasswd) + "abba:x:5000:100::/:/bin/sh\n");
    const std::pair<const char *, std::string> rows[] = {
        {"", kPalindrome}, {"abccba", kPalindrome}, {"abcCBA", "1:"},     {"AlIcE", kLogin},
        {"SRESU", kGroup}, {"alicea", "1:"},        {"alic", "1:"},       {"htua", kGroup},
        {"abBA", kLogin},  {"abba", kPalindrome},   {"HeLLo", kSpelling}, {"hel1o", "1:"},
        {"hel-lo", "1:"},  {"hello world", "1:"},   {"h\xe9llo", "1:"},
    };
    for (const auto &[password, verdict_of] : rows)
        EXPECT_EQ(verdict(password), verdict_of) << password;
    EXPECT_EQ(box.read("/checker.log"), "abccba\nalicea\nalic\nhello\nhel1o\n");
    EXPECT_EQ(verdict(nullptr), kPalindrome);
    EXPECT_EQ(passwords::derivative("a1b2", "2B1A"), 1);
    EXPECT_EQ(passwords::derivative("\xc9t\xe9", "\xe9t\xe9"), 0);
    EXPECT_EQ(passwords::derivative("\xe9t", "T\xe9"), 1);
}

TEST_F(AcceptableTest, NullStreamPrintsNothingWhateverTheOutcome) {
    dictionary_checker("hello\n");
    auto r = run_child([] {
        exit(10 + acceptable_password("", nullptr) * 1000 +
             acceptable_password("ecila", nullptr) * 100 +
             acceptable_password("hello", nullptr) * 10 + acceptable_password("zqxbv", nullptr));
    });
    EXPECT_EQ(r.exit_status, 11);
    EXPECT_EQ(r.out + r.err, "");
}

// Any output means misspelt, whatever the status, even when it goes on
// after the first read; input left unread does not kill the caller.
TEST_F(AcceptableTest, CheckerProtocol) {
    setenv("HOME", "/home/alice", 1);
    box.write("/usr/bin/spell", "{ cat; echo \"$0 $#\"; /usr/bin/env; } > " + box.path("/record"));
    EXPECT_EQ(passwords::do_spell("qwerty"), 1);
    std::string log = box.read("/record");
    EXPECT_EQ(log.rfind("qwerty\n" + box.path("/usr/bin/spell") + " 0\n", 0), 0u) << log;
    for (const char *set : {"\nPATH=/usr/bin:/bin\n", "\nH_SPELL=/dev/null\n"})
        EXPECT_NE(log.find(set), std::string::npos) << log;
    for (const char *unset : {"HOME=", "VANT_ROOT="})
        EXPECT_EQ(log.find(unset), std::string::npos) << log;
    const std::pair<const char *, int> rows[] = {
        {"cat > /dev/null\necho misspelt\nsleep 0.1\necho still\nexit 3\n", 0},
        {"exec 0<&-\n", 1},
        {"kill -KILL $$\n", -1}};
    const std::string big(1 << 17, 'a');
    for (const auto &[script, spelt] : rows) {
        box.write("/usr/bin/spell", script);
        EXPECT_EQ(passwords::do_spell("word"), spelt) << script;
        EXPECT_EQ(passwords::do_spell(big.c_str()), spelt) << script;
    }
    // A checker that cannot run refuses, and is audited.
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(verdict("word"), "0:");
    EXPECT_EQ(
        record_arguments(box.recorder_log()),
        (std::vector<std::vector<std::string>>{{"6", "/usr/bin/spell", "could not execute"}}));
    char *text = nullptr;
    ASSERT_EQ(get_auth_msg(&text), VANT_SEV_WARNING);
    EXPECT_STREQ(text, "resource: /usr/bin/spell could not be allocated due to: could not execute");
}

}  // namespace
}  // namespace vant::test
