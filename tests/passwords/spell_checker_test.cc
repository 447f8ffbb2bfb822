// Tests of the spelling checker's protocol: one word on its standard input,
// and any output at all means the word is misspelt.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

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

class SpellCheckerTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
        set_auth_msg(VANT_MSG_STORE);
    }
    void checker(const std::string &script) { box.write("/usr/bin/spell", script); }

    std::string verdict_of(const char *password) {
        char *text = nullptr;
        size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        int verdict = acceptable_password(password, stream);
        fclose(stream);
        std::string printed = std::to_string(verdict) + ":" + std::string(text, size);
        free(text);
        return printed;
    }
};

TEST_F(SpellCheckerTest, ShellRunsTheCheckerWithOneWordAndAFixedEnvironment) {
    setenv("HOME", "/home/alice", 1);
    std::string record = box.path("/record");
    checker("cat > '" + record + ".in'\nprintf '%s %s' \"$0\" \"$#\" > '" + record +
            ".args'\n/usr/bin/env > '" + record + ".env'\n");
    EXPECT_EQ(passwords::do_spell("qwerty"), 1);
    EXPECT_EQ(box.read("/record.in"), "qwerty\n");
    EXPECT_EQ(box.read("/record.args"), box.path("/usr/bin/spell") + " 0");
    std::string env = box.read("/record.env");
    EXPECT_NE(env.find("PATH=/usr/bin:/bin\n"), std::string::npos);
    EXPECT_NE(env.find("H_SPELL=/dev/null\n"), std::string::npos);
    EXPECT_EQ(env.find("HOME="), std::string::npos);
    EXPECT_EQ(env.find("VANT_ROOT="), std::string::npos);
}

TEST_F(SpellCheckerTest, AnyOutputMeansMisspeltAndExitStatusIsIgnored) {
    checker("cat > /dev/null\necho '?'\nexit 0\n");
    EXPECT_EQ(passwords::do_spell("word"), 0);
    checker("cat > /dev/null\nexit 3\n");
    EXPECT_EQ(passwords::do_spell("word"), 1);
    EXPECT_EQ(verdict_of("word"), "0:Password must not be a correctly spelt word\n");
    // An answer that goes on after the first read is still an answer.
    checker("cat > /dev/null\necho misspelt\nsleep 0.1\necho still misspelt\n");
    EXPECT_EQ(passwords::do_spell("word"), 0);
}

TEST_F(SpellCheckerTest, CheckerThatCannotRunRefusesAndIsAudited) {
    box.install_recorder();
    checker("kill -KILL $$\n");
    EXPECT_EQ(passwords::do_spell("word"), -1);
    EXPECT_EQ(verdict_of("word"), "0:");
    auto deliveries = read_deliveries(box.recorder_log());
    ASSERT_EQ(deliveries.size(), 1u);
    ASSERT_GE(deliveries[0].args.size(), 9u);
    std::vector<std::string> own(deliveries[0].args.begin() + 9, deliveries[0].args.end());
    EXPECT_EQ(own, (std::vector<std::string>{"6", "/usr/bin/spell", "could not execute"}));
    char *text = nullptr;
    ASSERT_EQ(get_auth_msg(&text), VANT_SEV_WARNING);
    EXPECT_STREQ(text, "resource: /usr/bin/spell could not be allocated due to: could not execute");
}

TEST_F(SpellCheckerTest, CheckerLeavingUnreadInputDoesNotKillTheCaller) {
    checker("exec 0<&-\n");
    std::string word(1 << 17, 'a');  // more than a pipe holds
    EXPECT_EQ(passwords::do_spell(word.c_str()), 1);
}

TEST_F(SpellCheckerTest, RealCheckerRefusesEnglishWordsOnly) {
    if (access("/usr/bin/spell", X_OK) != 0) GTEST_SKIP() << "no spelling checker installed";
    checker("exec /usr/bin/spell\n");
    EXPECT_EQ(verdict_of("Mountain"), "0:Password must not be a correctly spelt word\n");
    EXPECT_EQ(verdict_of("blorfting"), "1:");
}

}  // namespace
}  // namespace vant::test
