// Granting authorizations by rewriting the grant files.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "authorizations/grants_fixture.h"
#include "support/child.h"
#include "support/leftovers.h"

namespace vant::test {
namespace {

int grant(const char *user, std::vector<const char *> names) {
    return write_authorizations(user, const_cast<char *const *>(names.data()),
                                static_cast<int>(names.size()));
}

class GrantWriteTest : public GrantsTest {
  protected:
    // The grant files that are not empty, as "name=text"; nothing left beside.
    Texts written() const {
        Texts all;
        for (const char *name : {"audit", "auth", "backup", "cron", "lp", "mem", "sysadmin",
                                 "terminal", "uucp", "root", "dflt_users"})
            if (std::string text = grant_file(name); !text.empty())
                all.push_back(name + ("=" + text));
        EXPECT_NOTHING_LEFT_BEHIND(box);
        return all;
    }
};

TEST_F(GrantWriteTest, BitsBecomeLinesOfTheirSubsystemsInListOrder) {
    grant_file("auth", "alice:passwd\njdoe:passwd\nbob:su\njdoe:su");  // last line unterminated
    grant_file("lp", "jdoe:lp\nalice:lp\n");
    box.write(grants("dflt_users"), "carol\njdoe\n");
    vant_mask_t bits = (1u << 2) | (1u << 3) | (1u << 20);
    ASSERT_EQ(write_authorization_bits("jdoe", &bits), 0);
    EXPECT_EQ(written(), (Texts{"auth=alice:passwd\njdoe:auth,su\nbob:su\n", "lp=alice:lp\n",
                                "dflt_users=carol\n"}));
    EXPECT_TRUE(audited("look-up of value 20 in subsystems authorizations namepair"));
    EXPECT_TRUE(audited("value has no corresponding name"));

    ASSERT_EQ(grant("jdoe", {"passwd", "printqueue", "", "bogus", "auth", "lp"}), 0);
    EXPECT_EQ(written(), (Texts{"auth=alice:passwd\njdoe:passwd,auth\nbob:su\n",
                                "lp=alice:lp\njdoe:printqueue,lp\n", "dflt_users=carol\n"}));

    // A default user has no lines and is listed once.
    box.write(grants("dflt_users"), "jdoe\ncarol\njdoe");
    ASSERT_EQ(write_authorization_bits("jdoe", nullptr), 0);
    ASSERT_EQ(grant("jdoe", {"default"}), 0);
    ASSERT_EQ(grant("dave", {"default", "auth"}), 0);
    EXPECT_EQ(written(), (Texts{"auth=alice:passwd\nbob:su\n", "lp=alice:lp\n",
                                "dflt_users=jdoe\ncarol\ndave\n"}));

    for (const char *user : {"eve\nbob", "eve:auth", "", static_cast<const char *>(nullptr)})
        EXPECT_EQ(grant(user, {"auth"}), -1) << "a line for another user";
    EXPECT_EQ(write_authorization_bits(nullptr, nullptr), -1);
    EXPECT_EQ(grant_file("auth"), "alice:passwd\nbob:su\n");
}

// The files are replaced one after another: a failure part way leaves
// those already rewritten, and the rest as they were.
TEST_F(GrantWriteTest, TheRewriteStopsAtTheFirstFileThatCannotBeReplaced) {
    grant_file("auth", "jdoe:su\n");
    grant_file("lp", "jdoe:lp\n");
    list_in_file_control({"dflt_users", "audit"});
    EXPECT_EQ(grant("jdoe", {"printqueue"}), -1);
    EXPECT_EQ(written(), (Texts{"auth=jdoe:su\n", "lp=jdoe:lp\n"}));
    EXPECT_TRUE(box.exists(grants("audit")));  // rewritten before auth failed

    // A failed removal from the default users matters only for a listed user.
    list_in_file_control(
        {"audit", "auth", "backup", "cron", "lp", "mem", "sysadmin", "terminal", "uucp", "root"});
    box.write(grants("dflt_users"), "jdoe\n");
    EXPECT_EQ(grant("jdoe", {"auth"}), -1);
    EXPECT_EQ(grant("alice", {"auth"}), 0);
    EXPECT_EQ(grant_file("auth"), "jdoe:su\nalice:auth\n");

    box.remove(grants("lp"));
    box.mkdir(grants("lp"));  // cannot be read: not taken for an empty file
    EXPECT_EQ(grant("jdoe", {"auth"}), -1);
    EXPECT_FALSE(box.exists(grants("lp-t")));
}

TEST_F(GrantWriteTest, AWriteErrorLeavesTheGrantFileAsItWas) {
    std::string others;
    while (others.size() < 6000)
        others += "user" + std::to_string(others.size()) + ":su\n";
    grant_file("auth", others);
    auto child = run_child([] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(grant("jdoe", {"auth"}) == -1 ? 0 : 1);
    });
    EXPECT_EQ(child.exit_status, 0);
    EXPECT_EQ(grant_file("auth"), others);
    EXPECT_FALSE(box.exists(grants("auth-t")));
}

}  // namespace
}  // namespace vant::test
