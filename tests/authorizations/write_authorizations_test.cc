// Granting authorizations by rewriting the grant files, and the vectors
// built for client programs.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "authorizations/grants_fixture.h"
#include "support/child.h"

namespace vant::test {
namespace {

int grant(const char *user, std::vector<const char *> names) {
    return write_authorizations(user, const_cast<char *const *>(names.data()),
                                static_cast<int>(names.size()));
}

class GrantWriteTest : public GrantsTest {
  protected:
    // Every grant file but those given is empty, and no transition file is left.
    void expect_files(const std::vector<std::pair<std::string, std::string>> &wanted) const {
        for (const auto &name : kPrimaries) {
            auto w = std::find_if(wanted.begin(), wanted.end(),
                                  [&](const auto &p) { return p.first == name; });
            EXPECT_EQ(grant_file(name), w != wanted.end() ? w->second : "") << name;
            EXPECT_FALSE(box.exists(grants(name) + "-t") || box.exists(grants(name) + "-o"));
        }
    }
};

TEST_F(GrantWriteTest, BitsBecomeLinesOfTheirSubsystemsInListOrder) {
    grant_file("auth", "alice:passwd\njdoe:passwd\nbob:su\njdoe:su");  // last line unterminated
    grant_file("lp", "jdoe:lp\nalice:lp\n");
    box.write(grants("dflt_users"), "carol\njdoe\n");
    vant_mask_t bits = (1u << 2) | (1u << 3) | (1u << 20);
    ASSERT_EQ(write_authorization_bits("jdoe", &bits), 0);
    expect_files({{"auth", "alice:passwd\njdoe:auth,su\nbob:su\n"}, {"lp", "alice:lp\n"}});
    EXPECT_EQ(box.read(grants("dflt_users")), "carol\n");
    EXPECT_TRUE(audited("look-up of value 20 in subsystems authorizations namepair"));
    EXPECT_TRUE(audited("value has no corresponding name"));

    ASSERT_EQ(grant("jdoe", {"passwd", "printqueue", "", "bogus", "auth", "lp"}), 0);
    expect_files({{"auth", "alice:passwd\njdoe:passwd,auth\nbob:su\n"},
                  {"lp", "alice:lp\njdoe:printqueue,lp\n"}});
}

TEST_F(GrantWriteTest, ADefaultUserHasNoLinesAndIsListedOnce) {
    grant_file("auth", "jdoe:auth\nalice:auth\n");
    box.write(grants("dflt_users"), "jdoe\ncarol\njdoe");
    ASSERT_EQ(write_authorization_bits("jdoe", nullptr), 0);
    ASSERT_EQ(grant("jdoe", {"default"}), 0);
    ASSERT_EQ(grant("dave", {"default", "auth"}), 0);
    expect_files({{"auth", "alice:auth\n"}});
    EXPECT_EQ(box.read(grants("dflt_users")), "jdoe\ncarol\ndave\n");
}

TEST_F(GrantWriteTest, NamesThatWouldMakeAnotherUsersLineAreRefused) {
    grant_file("auth", "alice:passwd\n");
    for (const char *user : {"eve\nbob", "eve:auth", ""})
        EXPECT_EQ(grant(user, {"auth"}), -1);
    EXPECT_EQ(grant(nullptr, {"auth"}), -1);
    EXPECT_EQ(write_authorization_bits(nullptr, nullptr), -1);
    EXPECT_EQ(grant_file("auth"), "alice:passwd\n");
    EXPECT_FALSE(box.exists(grants("dflt_users")));
}

// The files are replaced one after another: a failure part way leaves
// those already rewritten, and the rest as they were.
TEST_F(GrantWriteTest, TheRewriteStopsAtTheFirstFileThatCannotBeReplaced) {
    grant_file("auth", "jdoe:su\n");
    grant_file("lp", "jdoe:lp\n");
    list_in_file_control({"dflt_users", "audit"});
    EXPECT_EQ(grant("jdoe", {"printqueue"}), -1);
    EXPECT_EQ(grant_file("audit"), "");  // rewritten before auth failed
    EXPECT_EQ(grant_file("auth"), "jdoe:su\n");
    EXPECT_EQ(grant_file("lp"), "jdoe:lp\n");
    EXPECT_FALSE(box.exists(grants("auth-t")));

    // A failed removal from the default users matters only for a listed user.
    list_in_file_control(kPrimaries);
    box.write(grants("dflt_users"), "jdoe\n");
    EXPECT_EQ(grant("jdoe", {"auth"}), -1);
    EXPECT_EQ(grant("alice", {"auth"}), 0);
    EXPECT_EQ(grant_file("auth"), "jdoe:su\nalice:auth\n");
}

TEST_F(GrantWriteTest, AGrantFileThatCannotBeReadIsNotTakenForAnEmptyOne) {
    box.mkdir(grants("lp"));
    EXPECT_EQ(grant("jdoe", {"auth"}), -1);
    EXPECT_FALSE(box.exists(grants("lp-t")));
}

TEST_F(GrantWriteTest, AWriteErrorLeavesTheGrantFileAsItWas) {
    std::string others;
    for (int i = 0; i < 400; ++i)
        others += "user" + std::to_string(i) + ":su\n";
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

TEST_F(GrantsTest, KernelVectorNamesTheSetBitsInOrderInOneAllocation) {
    priv_t bits = (1u << 3) | (1u << 7) | (1u << 8) | (1u << 31);
    char **names = build_kern_vec(&bits);
    ASSERT_NE(names, nullptr);
    EXPECT_STREQ(names[0], "execsuid");
    EXPECT_STREQ(names[1], "chown");
    EXPECT_EQ(names[2], nullptr);
    EXPECT_EQ(names[0], reinterpret_cast<char *>(names + 3));  // the names follow the array
    free(names);
    priv_t none = 0;
    names = build_kern_vec(&none);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names[0], nullptr);
    free(names);
}

// Each entry as "primary:name,name"; the final entry's primary as "-".
std::vector<std::string> entries(const vant_mask_t &bits) {
    struct subsys_vec_entry *v = build_subsys_vec(&bits);
    std::vector<std::string> all;
    for (auto *e = v;; ++e) {
        std::string text = e->primary != nullptr ? e->primary : "-";
        text += ":";
        for (char **n = e->names; *n != nullptr; ++n)
            text += std::string(n == e->names ? "" : ",") + *n;
        all.push_back(text);
        if (e->primary == nullptr) break;
    }
    free(v);
    return all;
}

TEST_F(GrantsTest, SubsystemVectorGroupsSecondariesUnderTheirSetPrimaries) {
    vant_mask_t bits = (1u << 2) | (1u << 4) | (1u << 16);
    EXPECT_EQ(entries(bits), (std::vector<std::string>{"auth:passwd", "-:shutdown"}));
    EXPECT_EQ(bits, (1u << 2) | (1u << 4) | (1u << 16));
    bits = (1u << 3) | (1u << 8) | (1u << 9) | (1u << 10) | (1u << 20) | (1u << 12);
    EXPECT_EQ(entries(bits),
              (std::vector<std::string>{"lp:printqueue,printerstat", "sysadmin:", "-:su,auth-20"}));
    EXPECT_EQ(entries(0), (std::vector<std::string>{"-:"}));

    // Primary bits bring their secondaries.
    bits = (1u << 2) | (1u << 15) | (1u << 6);
    add_secondary_auths(&bits);
    EXPECT_EQ(bits, (1u << 2) | (1u << 3) | (1u << 4) | (1u << 6) | (1u << 15) | (1u << 16));
}

}  // namespace
}  // namespace vant::test
