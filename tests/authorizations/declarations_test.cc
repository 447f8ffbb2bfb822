#include <string.h>

#include <string>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "authck";
char *kArgv[] = {kProgram, nullptr};

class DeclarationsTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
        set_auth_msg(VANT_MSG_STORE);
        box.install_recorder();
    }
    void declare(const std::string &text) { box.write("/etc/auth/system/authorize", text); }
    std::vector<std::string> messages() {
        std::vector<std::string> all;
        char *text = nullptr;
        while (get_auth_msg(&text) > 0)
            all.push_back(text);
        return all;
    }
    // The third argument of each failure record: what went wrong.
    std::vector<std::string> audited() {
        std::vector<std::string> all;
        for (auto &d : read_deliveries(box.recorder_log()))
            all.push_back(d.args.size() > 11 ? d.args[11] : "");
        return all;
    }
};

TEST_F(DeclarationsTest, BuiltInDeclarationWhenProtectedFilesAreOff) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    EXPECT_EQ(primary_auth("auth"), 2);
    EXPECT_EQ(secondary_auth("passwd"), 4);
    EXPECT_STREQ(primary_of_secondary_auth("shutdown"), "root");
    EXPECT_EQ(total_auths(), 17);
    EXPECT_EQ(ST_MAX_CPRIV, 16);
    EXPECT_EQ(widest_auth(), 11);  // printerstat, printqueue
    EXPECT_EQ(primary_auth("su"), -1);
    EXPECT_EQ(secondary_auth("auth"), -1);
    EXPECT_EQ(primary_of_secondary_auth("audit"), nullptr);
}

TEST_F(DeclarationsTest, NumbersFollowFileOrderAndBuildCmdPriv) {
    declare("lp:printqueue,printerstat\nmem:\nauth:su\n");
    ASSERT_EQ(build_cmd_priv(), 0);
    ASSERT_NE(cmd_priv, nullptr);
    std::vector<std::pair<std::string, unsigned>> pairs;
    for (auto *p = cmd_priv; p->name != nullptr; ++p)
        pairs.emplace_back(p->name, p->value);
    // Primaries first, then secondaries, each with its own number.
    EXPECT_EQ(
        pairs,
        (std::vector<std::pair<std::string, unsigned>>{
            {"lp", 0}, {"mem", 3}, {"auth", 4}, {"printqueue", 1}, {"printerstat", 2}, {"su", 5}}));
    EXPECT_EQ(ST_MAX_CPRIV, 5);
    unsigned mask = 0;
    char list[] = "su,printerstat";
    loadnamepair(&mask, ST_MAX_CPRIV, list, cmd_priv, "command privileges");
    EXPECT_EQ(mask, (1u << 5) | (1u << 2));
}

TEST_F(DeclarationsTest, ThirtyTwoNamesLoad) {
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "p" + std::to_string(i) + ":a" + std::to_string(i) + ",b" + std::to_string(i) +
                ",c" + std::to_string(i) + "\n";
    declare(text);
    EXPECT_EQ(total_auths(), 32);
    EXPECT_EQ(ST_MAX_CPRIV, 31);
}

TEST_F(DeclarationsTest, ThirtyThreeNamesAreRefused) {
    std::string text;
    for (int i = 0; i < 11; ++i)
        text +=
            "p" + std::to_string(i) + ":a" + std::to_string(i) + ",b" + std::to_string(i) + "\n";
    declare(text);
    EXPECT_EQ(total_auths(), -1);
    EXPECT_EQ(primary_auth("p0"), -1);
    auto m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_NE(m[0].find("too many subsystem authorizations declared"), std::string::npos);
}

TEST_F(DeclarationsTest, MissingColonFailsAndIsRetriedLater) {
    declare("audit:audittrail\nbroken\n");
    EXPECT_EQ(total_auths(), -1);
    EXPECT_NE(messages().at(0).find("required colon is missing"), std::string::npos);
    declare("audit:audittrail\n");
    EXPECT_EQ(total_auths(), 2);
}

TEST_F(DeclarationsTest, MissingTrailingLinefeedLoadsAndIsReported) {
    declare("audit:audittrail\ncron:");
    EXPECT_EQ(total_auths(), 3);
    EXPECT_EQ(primary_auth("cron"), 2);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Missing linefeed in /etc/auth/system/authorize"});
    EXPECT_EQ(audited(), std::vector<std::string>{"missing trailing linefeed"});
}

TEST_F(DeclarationsTest, BlankLinesAreReportedOncePerProcess) {
    declare("audit:audittrail\n\nauth:su\n\nmem:\n");
    EXPECT_EQ(total_auths(), 5);
    EXPECT_EQ(secondary_auth("su"), 3);
    EXPECT_EQ(messages(), std::vector<std::string>{"Blank line in /etc/auth/system/authorize"});
    EXPECT_EQ(audited(), std::vector<std::string>{"contains a blank line"});
}

TEST_F(DeclarationsTest, MissingDeclarationIsReportedAndFails) {
    EXPECT_EQ(total_auths(), -1);
    EXPECT_EQ(build_cmd_priv(), -1);
    EXPECT_EQ(cmd_priv, nullptr);
    auto m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m[0],
              "resource: /etc/auth/system/authorize could not be allocated due to: cannot open");
}

}  // namespace
}  // namespace vant::test
