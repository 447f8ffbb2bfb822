// Who holds an authorization: a named user, the user running the program,
// and the vector of the running user.
#include <string.h>
#include <unistd.h>

#include "authorizations/grants_fixture.h"
#include "support/nis_fake.h"

namespace vant::test {
namespace {

struct Check {
    const char *user, *subsystem, *authorization;
    int held;
};

void expect_checks(std::initializer_list<Check> checks) {
    for (const Check &c : checks)
        EXPECT_EQ(user_has_auth(c.user, c.subsystem, c.authorization), c.held)
            << (c.user != nullptr ? c.user : "(null)") << " " << c.subsystem << " "
            << c.authorization;
}

// A user's own line decides alone; a default user without one holds the
// System Default authorizations, a primary standing for its secondaries.
TEST_F(GrantsTest, AUsersOwnLineDecidesElseTheDefaultsIfListed) {
    nis().answers[{"passwd.byname", "nisuser"}] = "nisuser:x:4242:100::/:/bin/sh";
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "name" + std::to_string(i) + ",";
    grant_file("auth", "alice:passwd\nbob:su,auth\njoe:" + many + "passwd\n");
    grant_file("lp", "alice:lp\nnisuser:lp\n");
    box.write(grants("dflt_users"), "carolyn\ncarol\nalice\ndave");  // last line unterminated
    expect_checks({
        {"alice", "auth", "passwd", 1},
        {"alice", "auth", "su", 0},  // the defaults would grant it
        {"bob", "auth", "su", 1},
        {"bob", "auth", "passwd", 0},  // a line grants its names exactly
        {"joe", "auth", "passwd", 1},  // read whole, however long
        {"carol", "auth", "su", 1},
        {"carol", "auth", "passwd", 1},
        {"carol", "lp", "printqueue", 1},
        {"carol", "lp", "lp", 0},  // a secondary does not give its primary
        {"dave", "auth", "su", 1},
        {"caro", "auth", "su", 0},
        {"carol", "backup", "backup", 0},  // no grant file
        {"root", "nosuch", "undeclared", 1},
        {nullptr, "auth", "auth", 0},
        {"nisuser", "lp", "printqueue", 1},  // NIS users hold only the defaults
        {"nisuser", "lp", "lp", 0},
    });
    write_system_default(box, "u_maxlen#8");
    expect_checks({{"carol", "auth", "su", 0}});

    // A line without a colon stops the check where it stands.
    grant_file("auth", "bob:su\nbroken\ncarol:auth\n");
    expect_checks({{"bob", "auth", "su", 1}});
    EXPECT_FALSE(audited("required colon is missing"));
    expect_checks({{"carol", "auth", "auth", 0}, {"dave", "auth", "su", 0}});
    EXPECT_TRUE(audited("required colon is missing"));
    EXPECT_TRUE(audited(grants("auth")));
}

TEST_F(GrantsTest, WithoutProtectedFilesASubsystemsOwnAccountRunsIt) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    expect_checks({{"lp", "lp", "anything", 1},
                   {"alice", "lp", "printqueue", 1},
                   {"alice", "lp", "printerstat", 0}});
}

TEST_F(GrantsTest, WithoutTheDeclarationNothingIsHeldOrWritten) {
    box.remove("/etc/auth/system/authorize");
    grant_file("auth", "alice:auth\n");
    expect_checks({{"alice", "auth", "auth", 0}, {"root", "auth", "auth", 0}});
    EXPECT_EQ(get_subsys_auths(), nullptr);
    vant_mask_t lp = 1u << 8;
    EXPECT_EQ(write_authorization_bits("alice", &lp), -1);
}

TEST_F(GrantsTest, TheLoginUserRunsTheProgramUnlessIntegrityIsRequired) {
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
    if (getuid() != 0) return;
    // Under an integrity requirement the real superuser holds everything.
    write_system_default(box, "u_cmdpriv=auth:u_integrity");
    EXPECT_EQ(privileged_user("anything"), 1);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), (1u << 17) - 1);
}

// Started by bob with the effective group "auth", logged in as alice, under
// an integrity requirement: the real user runs the program, and
// authorized_user asks within the program's subsystem.
class RealUserTest : public GrantsTest {
    void identity() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to change the real user id";
        write_system_default(box, "u_integrity");
        ASSERT_EQ(setegid(21), 0);
        ASSERT_EQ(setresuid(1001, 0, 0), 0);
    }
};

TEST_F(RealUserTest, TheRealUserRunsTheProgramWithinItsSubsystem) {
    grant_file("auth", "alice:auth\nbob:su\n");
    box.write(grants("dflt_users"), "carol\n");
    EXPECT_EQ(privileged_user("auth"), 0);
    EXPECT_EQ(is_starting_ruid(1001), 1);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), 1u << 3);
    EXPECT_EQ(authorized_user("su"), 1);
    EXPECT_EQ(authorized_user("passwd"), 0);
    EXPECT_EQ(authorized_user("auth"), 0);
    EXPECT_EQ(authorized_user(nullptr), 0);
    grant_file("auth", "bob:auth\n");
    EXPECT_EQ(authorized_user("passwd"), 1);
    EXPECT_EQ(authorized_user("auth"), 1);
}

}  // namespace
}  // namespace vant::test
