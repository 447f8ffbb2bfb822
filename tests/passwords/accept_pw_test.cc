// Tests of the password acceptability checks and their order.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "passwords/accept_pw.h"
#include "passwords/checker.h"
#include "support/child.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/usr/bin/passwd";
char *kArgv[] = {kProgram, nullptr};

const std::string kPalindrome = "Password must not be a palindrome\n";
const std::string kLogin = "Password is (or looks too much like) a login name to be a password\n";
const std::string kGroup = "Password is (or looks too much like) a group name to be a password\n";
const std::string kSpelling = "Password must not be a correctly spelt word\n";

class AcceptablePasswordTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
        install_dictionary_checker(box, "hello\nword\n");
    }

    // The verdict and what was printed on the stream.
    std::pair<int, std::string> check(const std::string &password) {
        char *text = nullptr;
        size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        int verdict = acceptable_password(password.c_str(), stream);
        fclose(stream);
        std::string printed(text, size);
        free(text);
        return {verdict, printed};
    }

    std::string checked_words() { return box.read("/checker.log"); }
};

using Verdict = std::pair<int, std::string>;

TEST_F(AcceptablePasswordTest, PalindromesAreCaseSensitive) {
    EXPECT_EQ(check(""), Verdict(0, kPalindrome));
    EXPECT_EQ(check("x"), Verdict(0, kPalindrome));
    EXPECT_EQ(check("abcba"), Verdict(0, kPalindrome));
    EXPECT_EQ(check("xy7yx"), Verdict(0, kPalindrome));
    EXPECT_EQ(check("abccba"), Verdict(0, kPalindrome));
    EXPECT_EQ(check("abcCBA"), Verdict(1, ""));
    EXPECT_EQ(check("zxqZ"), Verdict(1, ""));
}

TEST_F(AcceptablePasswordTest, AnagramsOfNamesInAnyCaseAreRefused) {
    EXPECT_EQ(check("ecila"), Verdict(0, kLogin));
    EXPECT_EQ(check("AlIcE"), Verdict(0, kLogin));
    EXPECT_EQ(check("Obb"), Verdict(0, kLogin));
    EXPECT_EQ(check("SRESU"), Verdict(0, kGroup));
    EXPECT_EQ(check("alicea"), Verdict(1, ""));
    EXPECT_EQ(check("alic"), Verdict(1, ""));
}

TEST_F(AcceptablePasswordTest, GroupsAreTestedBeforeLogins) {
    // auth, daemon and root are both users and groups.
    EXPECT_EQ(check("htua"), Verdict(0, kGroup));
    EXPECT_EQ(check("NomeaD"), Verdict(0, kGroup));
    // A case-mirrored palindrome is no palindrome, but its letters are still
    // a name's.
    box.write("/etc/passwd", "abba:x:5000:100::/:/bin/sh\n");
    EXPECT_EQ(check("abBA"), Verdict(0, kLogin));
    EXPECT_EQ(check("abba"), Verdict(0, kPalindrome));
    EXPECT_EQ(checked_words(), "");
}

TEST_F(AcceptablePasswordTest, OnlyLettersAndDigitsGoLoweredToTheChecker) {
    EXPECT_EQ(check("HeLLo"), Verdict(0, kSpelling));
    EXPECT_EQ(check("wOrd"), Verdict(0, kSpelling));
    EXPECT_EQ(check("hel1o"), Verdict(1, ""));
    EXPECT_EQ(check("hel-lo"), Verdict(1, ""));
    EXPECT_EQ(check("hello!"), Verdict(1, ""));
    EXPECT_EQ(check("hello world"), Verdict(1, ""));
    EXPECT_EQ(check("h\xe9llo"), Verdict(1, ""));
    EXPECT_EQ(checked_words(), "hello\nword\nhel1o\n");
}

TEST_F(AcceptablePasswordTest, NullStreamPrintsNothingWhateverTheOutcome) {
    auto r = run_child([] {
        int verdicts =
            acceptable_password("", nullptr) * 1000 + acceptable_password("ecila", nullptr) * 100 +
            acceptable_password("hello", nullptr) * 10 + acceptable_password("zqxbv", nullptr);
        exit(10 + verdicts);
    });
    EXPECT_EQ(r.exit_status, 11);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(AcceptablePasswordTest, NullPasswordIsRefusedAsTheEmptyOne) {
    EXPECT_EQ(acceptable_password(nullptr, nullptr), 0);
}

TEST_F(AcceptablePasswordTest, OnlyAsciiLettersChangeCaseInAnagrams) {
    EXPECT_EQ(passwords::derivative("a1b2", "2B1A"), 1);
    EXPECT_EQ(passwords::derivative("\xc9t\xe9", "\xe9t\xe9"), 0);
    EXPECT_EQ(passwords::derivative("\xe9t", "T\xe9"), 1);
}

}  // namespace
}  // namespace vant::test
