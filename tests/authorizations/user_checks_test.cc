// Who holds an authorization: a named user, the user running the program,
// and the running user's vector.
#include <unistd.h>

#include <sstream>

#include "authorizations/grants_fixture.h"
#include "support/nis_fake.h"

namespace vant::test {
namespace {

// Rows of "user subsystem authorization held"; user "-" is none.
void expect_checks(const std::string &rows) {
    std::istringstream in(rows);
    for (std::string user, subsystem, name; in >> user >> subsystem >> name;) {
        int held = -1;
        in >> held;
        EXPECT_EQ(
            user_has_auth(user == "-" ? nullptr : user.c_str(), subsystem.c_str(), name.c_str()),
            held)
            << user << " " << subsystem << " " << name;
    }
}

// A user's own line decides alone; a default user without one holds the
// System Default authorizations, a primary standing for its secondaries.
TEST_F(GrantsTest, AUsersOwnLineDecidesElseTheDefaultsIfListed) {
    nis().answers[{"passwd.byname", "nisuser"}] = "nisuser:x:4242:100::/:/bin/sh";
    grant_file("auth", "alice:passwd\nbob:su,auth\njoe:" + std::string(500, 'x') + ",passwd\n");
    grant_file("lp", "alice:lp\nnisuser:lp\n");
    box.write(grants("dflt_users"), "carolyn\ncarol\nalice\ndave");  // last line unterminated
    // A line grants its names exactly, however long; a secondary does not
    // give its primary; NIS users hold only the defaults.
    expect_checks(
        "alice auth passwd 1  alice auth su 0  bob auth su 1  bob auth passwd 0 "
        "joe auth passwd 1  carol auth su 1  carol auth passwd 1  carol lp printqueue 1 "
        "carol lp lp 0  dave auth su 1  caro auth su 0  carol backup backup 0 "
        "root nosuch undeclared 1  - auth auth 0  nisuser lp printqueue 1  nisuser lp lp 0");
    write_system_default(box, "u_maxlen#8");
    expect_checks("carol auth su 0");

    // A line without a colon stops the check where it stands.
    grant_file("auth", "bob:su\nbroken\ncarol:auth\n");
    expect_checks("bob auth su 1");
    EXPECT_FALSE(audited("required colon is missing"));
    expect_checks("carol auth auth 0  dave auth su 0");
    EXPECT_TRUE(audited("required colon is missing"));
    EXPECT_TRUE(audited(grants("auth")));
}

TEST_F(GrantsTest, WithoutProtectedFilesASubsystemsOwnAccountRunsIt) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    box.remove("/etc/auth/system/authorize");  // the built-in declaration
    EXPECT_EQ(total_auths(), 17);
    EXPECT_STREQ(primary_of_secondary_auth("shutdown"), "root");
    expect_checks("lp lp anything 1  alice lp printqueue 1  alice lp printerstat 0");
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
    vant_mask_t mask = (1u << 2) | (1u << 15) | (1u << 6);  // primaries bring their secondaries
    add_secondary_auths(&mask);
    EXPECT_EQ(mask, (1u << 2) | (1u << 3) | (1u << 4) | (1u << 6) | (1u << 15) | (1u << 16));
    if (getuid() != 0) return;
    // Under an integrity requirement the real superuser holds everything.
    write_system_default(box, "u_cmdpriv=auth:u_integrity");
    EXPECT_EQ(privileged_user("anything"), 1);
    ASSERT_NE(get_subsys_auths(), nullptr);
    EXPECT_EQ(*get_subsys_auths(), (1u << 17) - 1);
}

}  // namespace
}  // namespace vant::test
