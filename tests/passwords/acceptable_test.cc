// Whether a password is too easy to guess: the checks, their order and
// their texts, and the spelling checker's protocol (one word on its
// standard input; any output at all means the word is misspelt).
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "passwords/accept_pw.h"
#include "passwords/passwords_fixture.h"
#include "support/child.h"
#include "support/recorder_log.h"

namespace vant::test {
namespace {

const std::string kPalindrome = "0:Password must not be a palindrome\n";
const std::string kLogin = "0:Password is (or looks too much like) a login name to be a password\n";
const std::string kGroup = "0:Password is (or looks too much like) a group name to be a password\n";
const std::string kSpelling = "0:Password must not be a correctly spelt word\n";

using AcceptableTest = PasswordsTest;

// Palindromes are case-sensitive, anagrams of names are not, groups come
// before logins, and only ASCII letters and digits go, lowered, to the
// spelling checker.
TEST_F(AcceptableTest, ChecksInTheirOrder) {
    dictionary_checker("hello\nword\n");
    box.write("/etc/passwd", std::string(kDefaultPasswd) + "abba:x:5000:100::/:/bin/sh\n");
    const std::pair<const char *, std::string> rows[] = {
        {"", kPalindrome},    {"xy7yx", kPalindrome}, {"abccba", kPalindrome},
        {"abcCBA", "1:"},     {"AlIcE", kLogin},      {"Obb", kLogin},
        {"SRESU", kGroup},    {"alicea", "1:"},       {"alic", "1:"},
        {"htua", kGroup},     {"abBA", kLogin},       {"abba", kPalindrome},
        {"HeLLo", kSpelling}, {"wOrd", kSpelling},    {"hel1o", "1:"},
        {"hel-lo", "1:"},     {"hello world", "1:"},  {"h\xe9llo", "1:"},
    };
    for (const auto &[password, verdict_of] : rows)
        EXPECT_EQ(verdict(password), verdict_of) << password;
    EXPECT_EQ(box.read("/checker.log"), "abccba\nalicea\nalic\nhello\nword\nhel1o\n");
    EXPECT_EQ(verdict(nullptr), kPalindrome);
    // Only ASCII letters change case in anagrams.
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

// One word on the standard input, no arguments, a fixed environment. Any
// output means misspelt, whatever the exit status; an answer that goes on
// after the first read is still an answer; a checker that leaves more input
// unread than a pipe holds does not kill the caller.
TEST_F(AcceptableTest, CheckerProtocol) {
    setenv("HOME", "/home/alice", 1);
    std::string record = box.path("/record");
    box.write("/usr/bin/spell", "cat > '" + record + ".in'\nprintf '%s %s' \"$0\" \"$#\" > '" +
                                    record + ".args'\n/usr/bin/env > '" + record + ".env'\n");
    EXPECT_EQ(passwords::do_spell("qwerty"), 1);
    EXPECT_EQ(box.read("/record.in"), "qwerty\n");
    EXPECT_EQ(box.read("/record.args"), box.path("/usr/bin/spell") + " 0");
    std::string env = box.read("/record.env");
    EXPECT_NE(env.find("PATH=/usr/bin:/bin\n"), std::string::npos);
    EXPECT_NE(env.find("H_SPELL=/dev/null\n"), std::string::npos);
    EXPECT_EQ(env.find("HOME="), std::string::npos);
    EXPECT_EQ(env.find("VANT_ROOT="), std::string::npos);
    const std::pair<const char *, int> rows[] = {
        {"cat > /dev/null\necho '?'\nexit 0\n", 0},
        {"cat > /dev/null\nexit 3\n", 1},
        {"cat > /dev/null\necho misspelt\nsleep 0.1\necho still misspelt\n", 0},
        {"exec 0<&-\n", 1},
    };
    const std::string big(1 << 17, 'a');
    for (const auto &[script, spelt] : rows) {
        box.write("/usr/bin/spell", script);
        EXPECT_EQ(passwords::do_spell("word"), spelt) << script;
        EXPECT_EQ(passwords::do_spell(big.c_str()), spelt) << script;
    }
    EXPECT_EQ(verdict("word"), kSpelling);
}

TEST_F(AcceptableTest, CheckerThatCannotRunRefusesAndIsAudited) {
    set_auth_msg(VANT_MSG_STORE);
    box.write("/usr/bin/spell", "kill -KILL $$\n");
    EXPECT_EQ(passwords::do_spell("word"), -1);
    EXPECT_EQ(verdict("word"), "0:");
    EXPECT_EQ(
        record_arguments(box.recorder_log()),
        (std::vector<std::vector<std::string>>{{"6", "/usr/bin/spell", "could not execute"}}));
    char *text = nullptr;
    ASSERT_EQ(get_auth_msg(&text), VANT_SEV_WARNING);
    EXPECT_STREQ(text, "resource: /usr/bin/spell could not be allocated due to: could not execute");
}

TEST_F(AcceptableTest, RealCheckerRefusesEnglishWordsOnly) {
    if (access("/usr/bin/spell", X_OK) != 0) GTEST_SKIP() << "no spelling checker installed";
    box.write("/usr/bin/spell", "exec /usr/bin/spell\n");
    EXPECT_EQ(verdict("Mountain"), kSpelling);
    EXPECT_EQ(verdict("blorfting"), "1:");
}

}  // namespace
}  // namespace vant::test
