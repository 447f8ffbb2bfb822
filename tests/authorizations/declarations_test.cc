// The authorization declaration: numbering, limits, and what a damaged
// declaration reports.
#include "authorizations/grants_fixture.h"

namespace vant::test {
namespace {

class DeclarationsTest : public GrantsTest {
  protected:
    void declare(const std::string &text) const { box.write("/etc/auth/system/authorize", text); }
};

TEST_F(DeclarationsTest, BuiltInDeclarationWhenProtectedFilesAreOff) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    box.remove("/etc/auth/system/authorize");
    EXPECT_EQ(primary_auth("auth"), 2);
    EXPECT_EQ(secondary_auth("passwd"), 4);
    EXPECT_STREQ(primary_of_secondary_auth("shutdown"), "root");
    EXPECT_EQ(total_auths(), 17);
    EXPECT_EQ(widest_auth(), 11);  // printerstat, printqueue
    EXPECT_EQ(primary_auth("su"), -1);
    EXPECT_EQ(secondary_auth("auth"), -1);
    EXPECT_EQ(primary_of_secondary_auth("audit"), nullptr);
}

TEST_F(DeclarationsTest, NumbersFollowFileOrderPrimariesListedFirst) {
    declare("lp:printqueue,printerstat\nmem:\nauth:su\n");
    ASSERT_EQ(build_cmd_priv(), 0);
    std::string pairs;
    for (auto *p = cmd_priv; p->name != nullptr; ++p)
        pairs += std::string(p->name) + "=" + std::to_string(p->value) + " ";
    EXPECT_EQ(pairs, "lp=0 mem=3 auth=4 printqueue=1 printerstat=2 su=5 ");
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

// A declaration that could not be read is read again at the next use.
TEST_F(DeclarationsTest, ADamagedDeclarationIsReportedAndReadAgainLater) {
    for (auto [text, message] : {
             std::pair{"",
                       "resource: /etc/auth/system/authorize could not be allocated due to: "
                       "cannot open"},
             {"audit:audittrail\nbroken\n", "required colon is missing"},
             {"p0:a,b\np1:a,b\np2:a,b\np3:a,b\np4:a,b\np5:a,b\np6:a,b\np7:a,b\np8:a,b\n"
              "p9:a,b\np10:a,b\n",
              "too many subsystem authorizations declared"},
         }) {
        SCOPED_TRACE(message);
        if (*text == '\0')
            box.remove("/etc/auth/system/authorize");
        else
            declare(text);
        EXPECT_EQ(total_auths(), -1);
        EXPECT_EQ(primary_auth("audit"), -1);
        Texts m = stored_messages();
        ASSERT_FALSE(m.empty());
        EXPECT_NE(m[0].find(message), std::string::npos) << m[0];
    }
    EXPECT_EQ(build_cmd_priv(), -1);
    EXPECT_EQ(cmd_priv, nullptr);
    // Blank lines and a missing last linefeed are reported, once each.
    stored_messages();
    declare("audit:audittrail\n\nauth:su\n\ncron:");
    EXPECT_EQ(total_auths(), 5);
    EXPECT_EQ(primary_auth("cron"), 4);
    EXPECT_EQ(secondary_auth("su"), 3);
    EXPECT_EQ(stored_messages(), (Texts{"Blank line in /etc/auth/system/authorize",
                                        "Missing linefeed in /etc/auth/system/authorize"}));
    EXPECT_TRUE(audited("contains a blank line") && audited("missing trailing linefeed"));
}

}  // namespace
}  // namespace vant::test
