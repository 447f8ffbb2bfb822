// The authorization declaration: numbering, limits, and what a damaged
// declaration reports.
#include <string>
#include <vector>

#include "authorizations/grants_fixture.h"

namespace vant::test {
namespace {

using Texts = std::vector<std::string>;

class DeclarationsTest : public GrantsTest {
  protected:
    void declare(const std::string &text) const { box.write("/etc/auth/system/authorize", text); }
    // What went wrong, by each failure record.
    Texts failures() const {
        Texts all;
        for (const auto &r : record_arguments(box.recorder_log()))
            all.push_back(r.back());
        return all;
    }
};

TEST_F(DeclarationsTest, BuiltInDeclarationWhenProtectedFilesAreOff) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    box.remove("/etc/auth/system/authorize");
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

TEST_F(DeclarationsTest, NumbersFollowFileOrderPrimariesFirst) {
    declare("lp:printqueue,printerstat\nmem:\nauth:su\n");
    ASSERT_EQ(build_cmd_priv(), 0);
    std::vector<std::pair<std::string, unsigned>> pairs;
    for (auto *p = cmd_priv; p->name != nullptr; ++p)
        pairs.emplace_back(p->name, p->value);
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

// A declaration that could not be read is read again at the next use.
TEST_F(DeclarationsTest, ADamagedDeclarationIsReportedAndReadAgainLater) {
    struct Case {
        const char *text;
        const char *message;
    };
    for (const Case &c : {
             Case{nullptr,
                  "resource: /etc/auth/system/authorize could not be allocated due to: "
                  "cannot open"},
             Case{"audit:audittrail\nbroken\n", "required colon is missing"},
             Case{"p0:a,b\np1:a,b\np2:a,b\np3:a,b\np4:a,b\np5:a,b\np6:a,b\np7:a,b\np8:a,b\n"
                  "p9:a,b\np10:a,b\n",
                  "too many subsystem authorizations declared"},
         }) {
        SCOPED_TRACE(c.message);
        if (c.text == nullptr)
            box.remove("/etc/auth/system/authorize");
        else
            declare(c.text);
        EXPECT_EQ(total_auths(), -1);
        EXPECT_EQ(primary_auth("audit"), -1);
        Texts m = stored_messages();
        ASSERT_FALSE(m.empty());
        EXPECT_NE(m[0].find(c.message), std::string::npos) << m[0];
    }
    EXPECT_EQ(build_cmd_priv(), -1);
    EXPECT_EQ(cmd_priv, nullptr);
    stored_messages();
    declare("audit:audittrail\ncron:");
    EXPECT_EQ(total_auths(), 3);
    EXPECT_EQ(primary_auth("cron"), 2);
    EXPECT_EQ(stored_messages(), Texts{"Missing linefeed in /etc/auth/system/authorize"});
    EXPECT_EQ(failures().back(), "missing trailing linefeed");
}

TEST_F(DeclarationsTest, BlankLinesAreReportedOncePerProcess) {
    declare("audit:audittrail\n\nauth:su\n\nmem:\n");
    EXPECT_EQ(total_auths(), 5);
    EXPECT_EQ(secondary_auth("su"), 3);
    EXPECT_EQ(stored_messages(), Texts{"Blank line in /etc/auth/system/authorize"});
    EXPECT_EQ(failures(), Texts{"contains a blank line"});
}

}  // namespace
}  // namespace vant::test
