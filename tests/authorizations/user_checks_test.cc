// Tests of the authorization checks: a named user, the user running the
// program, and the vector of the running user.
#include <string.h>
#include <unistd.h>

#include "authorizations/grants_fixture.h"

// The host's NIS client: one user, nisuser, is kept there.
extern "C" __attribute__((visibility("default"))) char *_nis_lookup(const char *key,
                                                                    const char *map) {
    static char line[] = "nisuser:x:4242:100::/:/bin/sh";
    return strcmp(map, "passwd.byname") == 0 && strcmp(key, "nisuser") == 0 ? line : nullptr;
}

namespace vant::test {
namespace {

int has(const char *user, const char *subsystem, const char *authorization) {
    return user_has_auth(user, subsystem, authorization);
}

TEST_F(GrantsTest, AUsersOwnLineDecidesAndNeverFallsBackToTheDefaults) {
    grant_file("auth", "alice:passwd\nbob:su,auth\n");
    box.write(grants("dflt_users"), "alice\n");
    EXPECT_EQ(has("alice", "auth", "passwd"), 1);
    EXPECT_EQ(has("alice", "auth", "su"), 0);  // the defaults grant "auth"
    EXPECT_EQ(has("alice", "auth", "auth"), 0);
    EXPECT_EQ(has("bob", "auth", "su"), 1);
    EXPECT_EQ(has("bob", "auth", "passwd"), 0);  // a line grants its names exactly
    EXPECT_EQ(has("root", "nosuch", "undeclared"), 1);
    EXPECT_EQ(has(nullptr, "auth", "auth"), 0);
}

TEST_F(GrantsTest, DefaultUsersHoldTheSystemDefaultAuthorizations) {
    grant_file("auth", "alice:auth\n");
    grant_file("lp", "alice:lp\n");
    box.write(grants("dflt_users"), "carolyn\ncarol\nbob");  // last line unterminated
    EXPECT_EQ(has("carol", "auth", "su"), 1);  // the primary stands for its secondaries
    EXPECT_EQ(has("carol", "auth", "passwd"), 1);
    EXPECT_EQ(has("carol", "lp", "printqueue"), 1);
    EXPECT_EQ(has("carol", "lp", "lp"), 0);  // a secondary does not give its primary
    EXPECT_EQ(has("carol", "lp", "printerstat"), 0);
    EXPECT_EQ(has("carol", "auth", "bogus"), 0);
    EXPECT_EQ(has("bob", "auth", "su"), 1);
    EXPECT_EQ(has("bo", "auth", "su"), 0);
    EXPECT_EQ(has("caro", "auth", "su"), 0);
    EXPECT_EQ(has("carol", "backup", "backup"), 0);  // no grant file
    system_default("u_maxlen#8");
    EXPECT_EQ(has("carol", "auth", "su"), 0);
}

TEST_F(GrantsTest, NisUsersHoldOnlyTheDefaults) {
    grant_file("auth", "nisuser:auth\n");
    system_default("u_cmdpriv=passwd");
    EXPECT_EQ(has("nisuser", "auth", "passwd"), 1);
    EXPECT_EQ(has("nisuser", "auth", "auth"), 0);
    EXPECT_EQ(has("nisuser", "auth", "su"), 0);
}

TEST_F(GrantsTest, WithoutProtectedFilesASubsystemsOwnAccountRunsIt) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    EXPECT_EQ(has("lp", "lp", "anything"), 1);
    EXPECT_EQ(has("alice", "lp", "printqueue"), 1);
    EXPECT_EQ(has("alice", "lp", "printerstat"), 0);
}

TEST_F(GrantsTest, LinesAreReadWholeAndALineWithoutAColonStopsTheCheck) {
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "name" + std::to_string(i) + ",";
    grant_file("auth", "alice:" + many + "passwd\nbob:su\nbroken\ncarol:auth\n");
    box.write(grants("dflt_users"), "dave\n");
    EXPECT_EQ(has("alice", "auth", "passwd"), 1);
    EXPECT_EQ(has("bob", "auth", "su"), 1);
    EXPECT_FALSE(audited("required colon is missing"));
    EXPECT_EQ(has("carol", "auth", "auth"), 0);
    EXPECT_EQ(has("dave", "auth", "su"), 0);
    EXPECT_TRUE(audited("required colon is missing"));
    EXPECT_TRUE(audited(grants("auth")));
}

TEST_F(GrantsTest, WithoutTheDeclarationNothingIsHeldOrWritten) {
    box.remove("/etc/auth/system/authorize");
    grant_file("auth", "alice:auth\n");
    EXPECT_EQ(has("alice", "auth", "auth"), 0);
    EXPECT_EQ(has("root", "auth", "auth"), 0);
    EXPECT_EQ(privileged_user("auth"), 0);
    EXPECT_EQ(get_subsys_auths(), nullptr);
    vant_mask_t lp = 1u << 8;
    EXPECT_EQ(build_subsys_vec(&lp), nullptr);
    add_secondary_auths(&lp);
    EXPECT_EQ(lp, 1u << 8);
    EXPECT_EQ(write_authorization_bits("alice", &lp), -1);
    EXPECT_EQ(grant_file("auth"), "alice:auth\n");
}

TEST_F(GrantsTest, TheLoginUserRunsTheProgramWithoutAnIntegrityRequirement) {
    grant_file("auth", "bob:auth\nalice:auth,su\n");
    grant_file("lp", "alice:printqueue\n");
    box.write(grants("dflt_users"), "carol\n");
    EXPECT_EQ(privileged_user("auth"), 1);
    EXPECT_EQ(privileged_user("lp"), 0);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), (1u << 2) | (1u << 3) | (1u << 9));
    box.write(grants("dflt_users"), "alice\n");  // the default vector, lines or not
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), (1u << 2) | (1u << 9));
    box.write(grants("dflt_users"), "carol\n");
    grant_file("backup", "broken\n");  // before alice's line: the vector is unknown
    EXPECT_EQ(get_subsys_auths(), nullptr);
    box.remove(grants("dflt_users"));
    EXPECT_EQ(get_subsys_auths(), nullptr);
}

// Started with real user id 0 under an integrity requirement.
class SuperuserTest : public GrantsTest {
    void identity() override {
        if (getuid() != 0) GTEST_SKIP() << "needs real user id 0";
        system_default("u_cmdpriv=auth:u_integrity");
    }
};

TEST_F(SuperuserTest, TheRealSuperuserHoldsEveryDeclaredAuthorization) {
    EXPECT_EQ(privileged_user("anything"), 1);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), (1u << 17) - 1);
}

// Started by bob, logged in as alice, under an integrity requirement.
class RealUserTest : public GrantsTest {
    void identity() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to change the real user id";
        system_default("u_integrity");
        ASSERT_EQ(setresuid(1001, 0, 0), 0);
    }
};

TEST_F(RealUserTest, TheRealUserRunsTheProgram) {
    grant_file("auth", "alice:auth\nbob:su\n");
    box.write(grants("dflt_users"), "carol\n");
    EXPECT_EQ(privileged_user("auth"), 0);
    EXPECT_EQ(is_starting_ruid(1001), 1);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), 1u << 3);
}

// A program run with the effective group "auth".
class AuthGroupTest : public GrantsTest {
    void identity() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to change the effective group";
        ASSERT_EQ(setegid(21), 0);
    }
};

TEST_F(AuthGroupTest, AuthorizedUserAsksWithinTheProgramsSubsystem) {
    grant_file("auth", "alice:auth\n");
    EXPECT_EQ(authorized_user("passwd"), 1);
    EXPECT_EQ(authorized_user("auth"), 1);
    grant_file("auth", "alice:passwd\n");
    EXPECT_EQ(authorized_user("passwd"), 1);
    EXPECT_EQ(authorized_user("su"), 0);
    EXPECT_EQ(authorized_user("auth"), 0);
    EXPECT_EQ(authorized_user(nullptr), 0);
}

}  // namespace
}  // namespace vant::test
