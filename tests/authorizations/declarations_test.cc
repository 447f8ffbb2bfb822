// The authorization declaration: numbering, and what a damaged declaration
// reports.
#include "authorizations/grants_fixture.h"

namespace vant::test {
namespace {

using DeclarationsTest = GrantsTest;

// A declaration that could not be read is read again at the next use.
TEST_F(DeclarationsTest, ADamagedDeclarationIsReportedAndReadAgainLater) {
    for (auto [text, message] : {
             std::pair{"", "/etc/auth/system/authorize could not be allocated due to: cannot open"},
             {"audit:audittrail\nbroken\n", "required colon is missing"},
             {"p0:a,b\np1:a,b\np2:a,b\np3:a,b\np4:a,b\np5:a,b\np6:a,b\np7:a,b\np8:a,b\n"
              "p9:a,b\np10:a,b\n",
              "too many subsystem authorizations declared"},
         }) {
        SCOPED_TRACE(message);
        box.write("/etc/auth/system/authorize", text);
        if (*text == '\0') box.remove("/etc/auth/system/authorize");
        EXPECT_EQ(total_auths(), -1);
        EXPECT_EQ(primary_auth("audit"), -1);
        Texts m = stored_messages();
        ASSERT_FALSE(m.empty());
        EXPECT_NE(m[0].find(message), std::string::npos) << m[0];
    }
    EXPECT_EQ(build_cmd_priv(), -1);
    EXPECT_EQ(cmd_priv, nullptr);
    // Blank lines and a missing last linefeed are reported, once each;
    // numbers follow file order, primaries listed first.
    stored_messages();
    box.write("/etc/auth/system/authorize", "lp:printqueue,printerstat\n\nauth:su\n\ncron:");
    EXPECT_EQ(total_auths(), 6);
    EXPECT_EQ(secondary_auth("su"), 4);
    EXPECT_EQ(stored_messages(), (Texts{"Blank line in /etc/auth/system/authorize",
                                        "Missing linefeed in /etc/auth/system/authorize"}));
    EXPECT_TRUE(audited("contains a blank line") && audited("missing trailing linefeed"));
    ASSERT_EQ(build_cmd_priv(), 0);
    std::string pairs;
    for (auto *p = cmd_priv; p->name != nullptr; ++p)
        pairs += std::string(p->name) + "=" + std::to_string(p->value) + " ";
    EXPECT_EQ(pairs, "lp=0 auth=3 cron=5 printqueue=1 printerstat=2 su=4 ");
    EXPECT_EQ(ST_MAX_CPRIV, 5);
}

}  // namespace
}  // namespace vant::test
