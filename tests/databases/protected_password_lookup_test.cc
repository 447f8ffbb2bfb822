// Tests of the Protected Password lookups: the entry with its system
// defaults, the conventional files under every override mode, the fixed
// rules, and the enumeration.
#include <string.h>

#include <string>
#include <vector>

#include "databases/protected_password_fixture.h"
#include "platform/clock.h"

// Waits are not slept in these programs.
static void fake_nap(long) {}
[[maybe_unused]] static const bool nap_replaced =
    (vant::platform::set_sleep_function(fake_nap), true);

namespace vant::test {
namespace {

constexpr const char *kLong = "abcdefghijklmnopqrstuvwx";  // 24 characters

using PrpwLookupTest = PrpwTest;

TEST_F(PrpwLookupTest, WithoutSystemDefaultsEveryLookupFailsAndIsReported) {
    box.remove("/etc/auth/system/default");
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    EXPECT_EQ(getprpwnam("alice"), nullptr);
    EXPECT_TRUE(audited("System Defaults database"));
    EXPECT_TRUE(audited("cannot be read"));
}

TEST_F(PrpwLookupTest, UnmirroredEntryComesBackAsStoredWithTheDefaultsBesideIt) {
    entry("alice", "u_id#1000:u_pwd=storedpassword");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_name, "alice");
    EXPECT_STREQ(pr->ufld.u_pwd, "storedpassword");
    EXPECT_EQ(pr->ufld.u_id, 1000);
    ASSERT_TRUE(PR_ISSET(pr->sflg, PR_U_MAXLEN));
    EXPECT_EQ(pr->sfld.u_maxlen, 8);
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_MAXLEN));
}

TEST_F(PrpwLookupTest, UnmirroredUserWithoutEntryIsNotFound) {
    EXPECT_EQ(getprpwnam("alice"), nullptr);
    EXPECT_EQ(getprpwnam(""), nullptr);
    EXPECT_EQ(getprpwnam(nullptr), nullptr);
}

TEST_F(PrpwLookupTest, EachLookupStartsFromAClearRecord) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm:u_maxlen#5");
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    ASSERT_NE(getprpwnam("alice"), nullptr);
    struct pr_passwd *pr = getprpwnam("bob");
    ASSERT_NE(pr, nullptr);
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_MAXLEN));
    EXPECT_EQ(getprpwnam("carol"), nullptr);
}

TEST_F(PrpwLookupTest, MirroredEntryAgreeingWithTheFilesComesBackWithTheFixedRules) {
    mirroring(false, true);
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "abcdefghijklm");
    ASSERT_TRUE(PR_ISSET(pr->uflg, PR_U_TYPE));
    EXPECT_EQ(pr->ufld.u_type, kGeneralType);
}

TEST_F(PrpwLookupTest, SuperuserHoldsEveryPrivilegeWhateverTheEntrySays) {
    mirroring(false, true);
    entry("root", "u_id#0:u_pwd=$1$rootpw:u_syspriv=execsuid");
    struct pr_passwd *pr = getprpwnam("root");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.u_type, kRootType);
    EXPECT_EQ(pr->ufld.u_syspriv, 0xFFu);
    EXPECT_EQ(pr->ufld.u_cmdpriv, 0xFu);  // the four declared
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SYSPRIV));
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_CMDPRIV));
}

TEST_F(PrpwLookupTest, RetiredAccountHasNoUsablePassword) {
    mirroring(false, true);
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz:u_type=retired");
    struct pr_passwd *pr = getprpwnam("bob");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "*");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_PWD));
}

TEST_F(PrpwLookupTest, MirroredPasswordIsCutToItsSegmentsWhileTheSavedOneStaysWhole) {
    mirroring(false, true, "u_pwseg#1");
    box.write("/etc/shadow", std::string("alice:") + std::string(kLong, 13) + ":19000::::::\n");
    entry("alice", std::string("u_id#1000:u_pwd=") + kLong);
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(std::string(pr->ufld.u_pwd), std::string(kLong, 13));
    EXPECT_STREQ(pr->ufld.u_savedpwd, kLong);
}

TEST_F(PrpwLookupTest, AnOldStylePasswordFileLineLeavesTheEntryUnreconciled) {
    mirroring(false, true);
    box.write("/etc/passwd", "alice:*:1000:100::/home/alice:/bin/sh\n");
    entry("alice", "u_id#1000:u_pwd=protectedpass");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "protectedpass");
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_TYPE));  // returned before the fixed rules
}

TEST_F(PrpwLookupTest, ProtectedOnlyModeIgnoresTheConventionalFiles) {
    mirroring(true, true);
    box.write("/etc/shadow", "alice:differentpass:19000::::::\n");
    entry("bob", "u_id#1001:u_pwd=protectedpass");
    entry("alice", "u_id#1000:u_pwd=protectedpass");
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    box.write("/etc/passwd", "alice:x:1000:100::/home/alice:/bin/sh\n");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "protectedpass");
    pr = getprpwnam("bob");  // no line at all
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "protectedpass");
}

TEST_F(PrpwLookupTest, ProtectedOnlyModeNeedsAnEntry) {
    mirroring(false, false);
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    EXPECT_EQ(getprpwnam("alice"), nullptr);
}

TEST_F(PrpwLookupTest, UnderIntegrityAUserWithoutLinesIsRefusedUnlessIntegrityIsOverridden) {
    mirroring(true, true);
    entry("carol", "u_id#1002:u_pwd=carolpassword");
    EXPECT_EQ(getprpwnam("carol"), nullptr);
    set_override_mode(OVERRIDE_NO_INTEGRITY);
    struct pr_passwd *pr = getprpwnam("carol");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "carolpassword");
}

TEST_F(PrpwLookupTest, WithoutIntegrityAndProtectedAuthorityAUserWithoutLinesIsFound) {
    mirroring(false, true);
    entry("carol", "u_id#1002:u_pwd=carolpassword");
    struct pr_passwd *pr = getprpwnam("carol");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "carolpassword");
}

TEST_F(PrpwLookupTest, EtcFilesModeNeedsTheLinesAndAnswersWithTheEtcView) {
    mirroring(false, true);
    set_override_mode(OVERRIDE_ETC_FILES);
    entry("carol", "u_id#1002:u_pwd=carolpassword");
    EXPECT_EQ(getprpwnam("carol"), nullptr);
    entry("alice", "u_id#1000:u_pwd=protectedpass");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "abcdefghijklm");  // /etc/shadow's
    EXPECT_EQ(pr->ufld.u_id, 1000);
}

TEST_F(PrpwLookupTest, EtcFilesModeKeepsTheWholeProtectedPasswordOfACutOne) {
    mirroring(false, true, "u_pwseg#1");
    set_override_mode(OVERRIDE_ETC_FILES);
    box.write("/etc/shadow", std::string("alice:") + std::string(kLong, 13) + ":19000::::::\n");
    entry("alice", std::string("u_id#1000:u_pwd=") + kLong);
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    // Both views were cut to 13 characters; the protected one matches.
    EXPECT_EQ(std::string(pr->ufld.u_pwd), std::string(kLong, 13));
}

TEST_F(PrpwLookupTest, WithEtcAuthorityAUserWithoutEntryComesFromTheFiles) {
    mirroring(false, false);
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "abcdefghijklm");
    EXPECT_EQ(pr->ufld.u_id, 1000);
}

TEST_F(PrpwLookupTest, WithProtectedAuthorityAUserWithoutEntryIsNotFound) {
    mirroring(false, true);
    EXPECT_EQ(getprpwnam("alice"), nullptr);
    set_override_mode(OVERRIDE_NO_INTEGRITY);
    EXPECT_NE(getprpwnam("alice"), nullptr);
}

TEST_F(PrpwLookupTest, IdLookupGoesThroughTheUsersName) {
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    struct pr_passwd *pr = getprpwuid(1001);
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_name, "bob");
    EXPECT_EQ(getprpwuid(4242), nullptr);
}

TEST_F(PrpwLookupTest, EnumerationFollowsThePasswordFileAndSkipsHighIds) {
    box.write("/etc/passwd", std::string(kDefaultPasswd) +
                                 "nobody:x:65534:65534::/:/bin/false\n"
                                 "carol:x:1002:100::/home/carol:/bin/sh\n");
    for (const char *n : {"root", "alice", "bob", "carol"})
        entry(n, "u_pwd=xx");
    box.mkdir("/tcb/files/auth/n");
    entry("nobody", "u_id#65534:u_pwd=xx");
    std::vector<std::string> seen;
    ASSERT_EQ(setprpwent(), 0);
    while (struct pr_passwd *pr = getprpwent())
        seen.emplace_back(pr->ufld.u_name);
    EXPECT_EQ(seen, (std::vector<std::string>{"root", "alice", "bob", "carol"}));
    EXPECT_EQ(getprpwent(), nullptr);
    endprpwent();
}

TEST_F(PrpwLookupTest, MirroredEnumerationReadsEachUsersOwnLines) {
    mirroring(false, true);
    box.write("/etc/shadow", "alice:alicepassword:19000::::::\nbob:bobpassword:19000::::::\n");
    entry("alice", "u_id#1000:u_pwd=alicepassword");
    entry("bob", "u_id#1001:u_pwd=bobpassword");
    std::vector<std::string> seen;
    setprpwent();
    while (struct pr_passwd *pr = getprpwent())
        seen.push_back(std::string(pr->ufld.u_name) + "=" + pr->ufld.u_pwd);
    endprpwent();
    EXPECT_EQ(seen, (std::vector<std::string>{"alice=alicepassword", "bob=bobpassword"}));
}

TEST_F(PrpwLookupTest, LookupByNameBetweenEnumerationsStartsItAgain) {
    entry("alice", "u_pwd=xx");
    entry("bob", "u_pwd=xx");
    setprpwent();
    struct pr_passwd *pr = getprpwent();
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_name, "alice");
    ASSERT_NE(getprpwnam("bob"), nullptr);
    pr = getprpwent();
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_name, "alice");
}

}  // namespace
}  // namespace vant::test
