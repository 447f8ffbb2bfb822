// Message texts from the built catalog, found through NLSPATH.
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "frame/message_table.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

struct BuiltIn {
    int number;
    const char *text;
};
#define VANT_BUILT_IN(number, variable, text) {number, text},
constexpr BuiltIn kBuiltIn[] = {VANT_MESSAGE_TABLE(VANT_BUILT_IN)};
#undef VANT_BUILT_IN

class CatalogTest : public SandboxTest {};

TEST_F(CatalogTest, ShippedCatalogHoldsEveryBuiltInText) {
    ASSERT_EQ(start(box, {.built_catalog = true}), 0);
    set_auth_msg(VANT_MSG_CATALOG);
    ASSERT_EQ(get_auth_msg_behaviour(), VANT_MSG_CATALOG);
    for (const BuiltIn &m : kBuiltIn) {
        std::string fallback = m.text;
        const char *text = intl_msg(m.number, fallback.c_str());
        EXPECT_NE(text, fallback.c_str()) << m.number << " is not in the catalog";
        EXPECT_STREQ(text, m.text) << m.number;
    }
    EXPECT_EQ(std::size(kBuiltIn), 81u);
}

TEST_F(CatalogTest, ChangedTextsAreSeen) {
    box.write("/custom.msg",
              "$quote \"\n$set 1\n"
              "24 \"Prozess ohne erstes Argument gestartet\"\n"
              "18 \"Betriebsmittel %s fehlt: %s\"\n"
              "48 \"Zu kurz (%s Zeichen)\"\n");
    box.mkdir("/nls");
    std::string cmd = "gencat " + box.path("/nls/vant.cat@Unix") + " " + box.path("/custom.msg");
    ASSERT_EQ(system(cmd.c_str()), 0);
    setenv("NLSPATH", (box.path("/nls") + "/%N").c_str(), 1);
    set_auth_msg(VANT_MSG_CATALOG | VANT_MSG_STORE);
    EXPECT_EQ(get_auth_msg_behaviour(), 3);
    EXPECT_STREQ(intl_msg(24, vant_badargs), "Prozess ohne erstes Argument gestartet");
    EXPECT_STREQ(intl_msg(18, vant_noresource), "Betriebsmittel %s fehlt: %s");
    // Absent from the catalog: the built-in text.
    EXPECT_EQ(intl_msg(23, vant_badkernel), vant_badkernel);
    // A text whose conversions differ from the built-in one is never used as a format.
    EXPECT_EQ(intl_msg(48, smpm_shortn), smpm_shortn);

    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(get_auth_msg_behaviour(), VANT_MSG_STORE);
    EXPECT_EQ(intl_msg(24, vant_badargs), vant_badargs);
}

TEST_F(CatalogTest, MissingCatalogLeavesBuiltInTexts) {
    setenv("NLSPATH", box.path("/nowhere/%N").c_str(), 1);
    set_auth_msg(VANT_MSG_CATALOG | VANT_MSG_STORE);
    EXPECT_EQ(get_auth_msg_behaviour(), VANT_MSG_STORE);
    EXPECT_EQ(intl_msg(1, vant_palindrome), vant_palindrome);
}

}  // namespace
}  // namespace vant::test
