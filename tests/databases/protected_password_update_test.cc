// Tests of the Protected Password writer: the entry and the user's
// conventional lines change together, or, under integrity, neither does.
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "databases/protected_password_fixture.h"

namespace vant::test {
namespace {

using Users = std::vector<std::string>;

class PrpwUpdateTest : public PrpwTest {
  protected:
    void SetUp() override {
        PrpwTest::SetUp();
        entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
        entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
        passwd_before = box.read("/etc/passwd");
        shadow_before = box.read("/etc/shadow");
        alice_before = box.read(entry_path("alice"));
    }
    void expect_etc_unchanged() const {
        EXPECT_EQ(box.read("/etc/passwd"), passwd_before);
        EXPECT_EQ(box.read("/etc/shadow"), shadow_before);
    }
    // Alice's new password, as a lookup would hand the record back.
    static Record alice(const char *password = "newpassword12") {
        return Record().name("alice").id(1000).pwd(password);
    }
    std::string passwd_before, shadow_before, alice_before;
};

TEST_F(PrpwUpdateTest, NullRecordOrNameChangesNothing) {
    EXPECT_EQ(putprpwnam("alice", nullptr), 0);
    Record r = alice();
    EXPECT_EQ(putprpwnam(nullptr, &r.pr), 0);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
}

TEST_F(PrpwUpdateTest, UnmirroredNewUserGetsAnEntryOnly) {
    Record r = Record().name("carol").id(1002).pwd("carolpassword");
    ASSERT_EQ(putprpwnam("carol", &r.pr), 1);
    std::string text = box.read(entry_path("carol"));
    EXPECT_EQ(text.rfind("carol:", 0), 0u) << text;
    EXPECT_NE(text.find("u_pwd=carolpassword"), std::string::npos);
    EXPECT_NE(text.find("chkent:\n"), std::string::npos);
    expect_etc_unchanged();
    expect_no_transition_files("carol");
    struct pr_passwd *pr = getprpwnam("carol");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "carolpassword");
}

TEST_F(PrpwUpdateTest, TheCallersRecordIsNotChanged) {
    mirroring(false, true);
    Record r = Record().name("root").id(0).pwd("$1$rootpw");
    struct pr_passwd before = r.pr;
    ASSERT_EQ(putprpwnam("root", &r.pr), 1);
    EXPECT_EQ(memcmp(&before, &r.pr, sizeof before), 0);
}

TEST_F(PrpwUpdateTest, MirroredNewUserGetsEntryLinesAndDefaultAuthorizations) {
    mirroring(false, true);
    Record r = Record().name("carol").id(1002).pwd("carolpassword");
    ASSERT_EQ(putprpwnam("carol", &r.pr), 1);
    EXPECT_TRUE(box.exists(entry_path("carol")));
    // The new line has no group yet, so the C library's reader passes over
    // it; every other line is as it was.
    std::vector<std::string> now = passwd_lines();
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(now.back(), "carol:x:1002::::");
    now.pop_back();
    EXPECT_EQ(now, lines_of(passwd_before));
    EXPECT_EQ(passwd_users(), (Users{"root", "daemon", "auth", "alice", "bob"}));
    EXPECT_EQ(shadow_password("carol"), "carolpassword");
    EXPECT_EQ(shadow_password("alice"), "abcdefghijklm");
    expect_no_transition_files("carol");
    EXPECT_EQ(box.read("/etc/auth/subsystems/dflt_users"), "carol\n");
}

TEST_F(PrpwUpdateTest, MirroredNewUserGetsTheAuthorizationsItsRecordLists) {
    mirroring(false, true);
    Record r = Record().name("carol").id(1002).pwd("carolpassword").cmdpriv(1u << 2);  // auth
    ASSERT_EQ(putprpwnam("carol", &r.pr), 1);
    EXPECT_EQ(box.read("/etc/auth/subsystems/auth"), "carol:auth\n");
}

TEST_F(PrpwUpdateTest, NewUserUnderAnOverrideModeGetsNoAuthorizations) {
    mirroring(false, true);
    set_override_mode(OVERRIDE_NO_INTEGRITY);
    Record r = Record().name("carol").id(1002).pwd("carolpassword");
    ASSERT_EQ(putprpwnam("carol", &r.pr), 1);
    EXPECT_TRUE(box.exists(entry_path("carol")));
    EXPECT_FALSE(box.exists("/etc/auth/subsystems/dflt_users"));
}

TEST_F(PrpwUpdateTest, OwnIdAsPasswordUserIsWrittenAsTheOwnName) {
    Record r = Record().name("carol").id(4242).pwd("carolpassword");
    r.pr.ufld.u_pswduser = 4242;
    r.set(PR_U_PSWDUSER);
    ASSERT_EQ(putprpwnam("carol", &r.pr), 1);
    EXPECT_NE(box.read(entry_path("carol")).find("u_pswduser=carol:"), std::string::npos)
        << box.read(entry_path("carol"));
}

TEST_F(PrpwUpdateTest, ReplacingAUserChangesOnlyTheirLines) {
    mirroring(false, true);
    Record r = alice();
    ASSERT_EQ(putprpwnam("alice", &r.pr), 1);
    EXPECT_NE(box.read(entry_path("alice")).find("u_pwd=newpassword12"), std::string::npos);
    EXPECT_EQ(box.read("/etc/passwd"), passwd_before);
    auto users = shadow_users();
    ASSERT_EQ(users.size(), 5u);
    EXPECT_EQ(users[3], (std::pair<std::string, std::string>{"alice", "newpassword12"}));
    EXPECT_EQ(users[4].second, "nopqrstuvwxyz");
    EXPECT_EQ(users[0].second, "$1$rootpw");
    EXPECT_EQ(box.exists("/etc/auth/subsystems/dflt_users"), false);  // not a new user
    expect_no_transition_files("alice");
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "newpassword12");
}

TEST_F(PrpwUpdateTest, ARecordWithoutNameRemovesTheUserEverywhere) {
    mirroring(false, true);
    struct pr_passwd clear {};
    ASSERT_EQ(putprpwnam("bob", &clear), 1);
    EXPECT_FALSE(box.exists(entry_path("bob")));
    EXPECT_TRUE(box.exists("/tcb/files/auth/b"));
    EXPECT_EQ(passwd_users(), (Users{"root", "daemon", "auth", "alice"}));
    EXPECT_EQ(shadow_password("bob"), "<none>");
    EXPECT_EQ(shadow_password("alice"), "abcdefghijklm");
    expect_no_transition_files("bob");
    EXPECT_EQ(getprpwnam("bob"), nullptr);
}

TEST_F(PrpwUpdateTest, UnmirroredRemovalLeavesTheFiles) {
    struct pr_passwd clear {};
    ASSERT_EQ(putprpwnam("bob", &clear), 1);
    EXPECT_FALSE(box.exists(entry_path("bob")));
    expect_etc_unchanged();
    expect_no_transition_files("bob");
}

TEST_F(PrpwUpdateTest, WriteModeProtectedOnlyNeverTouchesTheConventionalFiles) {
    mirroring(true, true);
    set_write_mode(WRITE_PROTECTED_ONLY);
    struct stat before {};
    stat(box.path("/etc/shadow").c_str(), &before);
    Record r = alice();
    ASSERT_EQ(putprpwnam("alice", &r.pr), 1);
    EXPECT_NE(box.read(entry_path("alice")).find("newpassword12"), std::string::npos);
    expect_etc_unchanged();
    struct stat after {};
    stat(box.path("/etc/shadow").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    expect_no_transition_files("alice");
}

// --- the decision between the two sides

TEST_F(PrpwUpdateTest, UnderIntegrityAFailedEtcSideLeavesTheEntryAlone) {
    mirroring(true, true);
    box.write("/etc/passwd-t", "");  // another writer holds the lock
    Record r = alice();
    EXPECT_EQ(putprpwnam("alice", &r.pr), 0);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
    expect_etc_unchanged();
    EXPECT_FALSE(box.exists(entry_path("alice") + "-t"));
    EXPECT_FALSE(box.exists("/etc/shadow-t"));
    EXPECT_TRUE(update_failure_reported(12));
}

TEST_F(PrpwUpdateTest, UnderIntegrityAFailedEntryLeavesTheEtcFilesAlone) {
    mirroring(true, true);
    box.write(entry_path("alice") + "-t", "");  // another writer of alice
    Record r = alice();
    EXPECT_EQ(putprpwnam("alice", &r.pr), 0);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
    expect_etc_unchanged();
    EXPECT_TRUE(box.exists(entry_path("alice") + "-t"));  // the other writer's
    EXPECT_FALSE(box.exists("/etc/passwd-t"));
    EXPECT_FALSE(box.exists("/etc/shadow-t"));
    EXPECT_TRUE(update_failure_reported(14));
}

TEST_F(PrpwUpdateTest, UnderIntegrityBothSidesChange) {
    mirroring(true, true);
    Record r = alice();
    ASSERT_EQ(putprpwnam("alice", &r.pr), 1);
    EXPECT_NE(box.read(entry_path("alice")).find("newpassword12"), std::string::npos);
    EXPECT_EQ(shadow_password("alice"), "newpassword12");
    expect_no_transition_files("alice");
    EXPECT_FALSE(box.exists("/etc/auth/subsystems/dflt_users"));
}

TEST_F(PrpwUpdateTest, ProtectedAuthorityKeepsTheEntryWhenTheEtcSideFails) {
    mirroring(false, true);
    box.write("/etc/shadow-t", "");
    Record r = alice();
    EXPECT_EQ(putprpwnam("alice", &r.pr), 1);
    EXPECT_NE(box.read(entry_path("alice")).find("newpassword12"), std::string::npos);
    expect_etc_unchanged();
    EXPECT_TRUE(box.exists("/etc/shadow-t"));
    EXPECT_FALSE(box.exists("/etc/passwd-t"));
}

TEST_F(PrpwUpdateTest, ProtectedAuthorityWithBothSidesFailingChangesNothing) {
    mirroring(false, true);
    box.write("/etc/shadow-t", "");
    box.write(entry_path("alice") + "-t", "");
    Record r = alice();
    EXPECT_EQ(putprpwnam("alice", &r.pr), 0);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
    expect_etc_unchanged();
    EXPECT_TRUE(update_failure_reported(14));
    EXPECT_TRUE(update_failure_reported(12));
}

TEST_F(PrpwUpdateTest, EtcAuthorityKeepsTheEtcSideWhenTheEntryFails) {
    mirroring(false, false);
    box.write(entry_path("alice") + "-t", "");
    Record r = alice();
    EXPECT_EQ(putprpwnam("alice", &r.pr), 1);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
    EXPECT_EQ(shadow_password("alice"), "newpassword12");
    EXPECT_FALSE(box.exists("/etc/passwd-t"));
    EXPECT_FALSE(box.exists("/etc/shadow-t"));
}

TEST_F(PrpwUpdateTest, EtcAuthorityWithTheLetterDirectoryMissingChangesOnlyTheFiles) {
    mirroring(false, false);
    Record r = Record().name("zed").id(1003).pwd("zedpassword12");
    EXPECT_EQ(putprpwnam("zed", &r.pr), 1);
    EXPECT_FALSE(box.exists("/tcb/files/auth/z"));
    EXPECT_EQ(shadow_password("zed"), "zedpassword12");
    EXPECT_EQ(passwd_lines().back(), "zed:x:1003::::");
}

TEST_F(PrpwUpdateTest, ProtectedAuthorityWithTheLetterDirectoryMissingChangesNothing) {
    mirroring(false, true);
    Record r = Record().name("zed").id(1003).pwd("zedpassword12");
    EXPECT_EQ(putprpwnam("zed", &r.pr), 0);
    expect_etc_unchanged();
    expect_no_transition_files("zed");
}

TEST_F(PrpwUpdateTest, UnmirroredWithTheLetterDirectoryMissingFails) {
    Record r = Record().name("zed").id(1003).pwd("zedpassword12");
    EXPECT_EQ(putprpwnam("zed", &r.pr), 0);
    EXPECT_TRUE(update_failure_reported(14));
    expect_etc_unchanged();
}

// --- what the writer adds to a mirrored record

TEST_F(PrpwUpdateTest, APasswordCutByTheLookupIsWrittenBackWhole) {
    const std::string whole = "abcdefghijklmnopqrstuvwx";
    mirroring(false, true, "u_pwseg#1");
    box.write("/etc/shadow", "alice:" + whole.substr(0, 13) + ":19000::::::\n");
    entry("alice", "u_id#1000:u_pwd=" + whole);
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    ASSERT_EQ(std::string(pr->ufld.u_pwd), whole.substr(0, 13));
    struct pr_passwd copy = *pr;
    ASSERT_EQ(putprpwnam("alice", &copy), 1);
    EXPECT_NE(box.read(entry_path("alice")).find("u_pwd=" + whole + ":"), std::string::npos);
    EXPECT_EQ(shadow_password("alice"), whole.substr(0, 13));
}

TEST_F(PrpwUpdateTest, MirroredSuperuserIsWrittenWithEverything) {
    mirroring(false, true);
    Record r = Record().name("root").id(0).pwd("$1$rootpw").type(kGeneralType);
    ASSERT_EQ(putprpwnam("root", &r.pr), 1);
    std::string text = box.read(entry_path("root"));
    EXPECT_NE(text.find("u_type=root:"), std::string::npos) << text;
    EXPECT_NE(text.find("u_cmdpriv=audit,audittrail,auth,su"), std::string::npos) << text;
    EXPECT_EQ(text.find("general"), std::string::npos) << text;
}

TEST_F(PrpwUpdateTest, TextThatWouldBreakTheEntryIsRefused) {
    mirroring(false, true);
    Record r = Record().name("alice").id(1000).pwd("x:u_id#0");
    EXPECT_EQ(putprpwnam("alice", &r.pr), 0);
    Record n = Record().name("eve").id(1004).pwd("evepassword12");
    EXPECT_EQ(putprpwnam("a\nroot", &n.pr), 0);
    EXPECT_EQ(putprpwnam("../x", &n.pr), 0);
    EXPECT_EQ(box.read(entry_path("alice")), alice_before);
    expect_etc_unchanged();
}

}  // namespace
}  // namespace vant::test
