// Tests of the password length rule, the seed, and the start-up check that
// the password tools make.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <climits>

#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/usr/bin/passwd";
char *kArgv[] = {kProgram, nullptr};

TEST(PasslenTest, LengthKeepsGuessingBelowOneInAMillion) {
    EXPECT_EQ(passlen(86400, 1, 26), 8);     // 8.64e10 guesses: 7.8 letters
    EXPECT_EQ(passlen(5184000, 10, 26), 9);  // 60 days at 10 s: 5.2e11, 8.3
    EXPECT_EQ(passlen(5184000, 10, 95), 6);  // 5.9 printable characters
    EXPECT_EQ(passlen(15724800, 2, 36), 9);  // 26 weeks at 2 s: 7.9e12, 8.3
    EXPECT_EQ(passlen(3600, 5, 26), 7);      // 7.2e8: 6.3
}

TEST(PasslenTest, DegenerateInputsGiveBoundsNotGarbage) {
    EXPECT_EQ(passlen(86400, 0, 26), INT_MAX);  // unlimited guesses
    EXPECT_EQ(passlen(86400, 1, 1), INT_MAX);   // one character says nothing
    EXPECT_EQ(passlen(0, 1, 26), 0);
    EXPECT_EQ(passlen(86400, -1, 26), 0);
    EXPECT_EQ(passlen(86400, 1, 0), 0);
}

class SeedTest : public SandboxTest {};

int32_t expected_seed(time_t now) {
    auto nonzero = [](uint32_t v) { return v != 0 ? v : 1u; };
    uint32_t a = nonzero((getuid() + geteuid()) & 0xFFFFu);
    uint32_t b = nonzero((getgid() + getegid()) & 0xFFFFu);
    uint32_t c = nonzero(static_cast<uint32_t>(getpid()));
    auto s = static_cast<int32_t>(a * b * c * static_cast<uint32_t>(now));
    return s == INT32_MIN ? INT32_MAX : s < 0 ? -s : s;
}

TEST_F(SeedTest, SeedComesFromStartingIdsProcessAndTime) {
    ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
    time_t before = time(nullptr);
    long seed = get_seed();
    time_t after = time(nullptr);
    EXPECT_GE(seed, 0);
    EXPECT_TRUE(seed == expected_seed(before) || seed == expected_seed(after)) << seed;
}

TEST_F(SeedTest, SetSeedReseedsTheGenerator) {
    set_seed(12345);
    double first = drand48();
    srand48(12345);
    EXPECT_EQ(drand48(), first);
}

TEST_F(SeedTest, ToolsEndAnUnstartedClient) {
    const char *const message = "set_auth_parameters(S) has not been called, see identity(S)\n";
    for (auto body : {+[] { bigcryptmax("key", "ab"); }, +[] { fgetpasswd(nullptr, 8, 0, 0); },
                      +[] { get_seed(); },
                      +[] {
                          char w[9], h[16];
                          randomword(w, h, 8, 8, 0, 1);
                      }}) {
        auto r = run_child(body);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, message);
    }
}

}  // namespace
}  // namespace vant::test
