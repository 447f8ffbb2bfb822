// Messages: printed with the command's name, or stored for the program, and
// their texts from a catalog found through NLSPATH.
#include <stdlib.h>

#include <string>

#include "frame/message_table.h"
#include "support/child.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

std::string next(int expected_severity) {
    char *text = nullptr;
    int severity = get_auth_msg(&text);
    EXPECT_EQ(severity, expected_severity);
    return severity > 0 && severity < 3 ? text : "";
}

TEST(MessagesTest, PrintingPrefixesTheCommandNameAndAFatalOneEndsTheProcess) {
    Sandbox box;
    auto r = run_child([&box] {
        store_msg(VANT_SEV_WARNING, "before start");
        start(box, {.program = "/bin/login", .recorder = false});
        store_msg(VANT_SEV_WARNING, "resource: %s could not be allocated due to: %s", "memory",
                  "no more is available");
        store_msg(VANT_SEV_FATAL, "%s", "Account locked");
        printf("not reached\n");
    });
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "before start\n"
              "login: resource: memory could not be allocated due to: no more is available\n"
              "login: Account locked\n");
}

TEST(MessagesTest, StoredMessagesAreReadOldestFirstUntilDiscarded) {
    set_auth_msg(VANT_MSG_STORE);
    store_msg(VANT_SEV_FATAL, "two %d", 2);  // stored, the process goes on
    store_msg(VANT_SEV_WARNING, "%s", std::string(3000, 'x').c_str());
    EXPECT_EQ(next(2), "two 2");
    EXPECT_EQ(next(1), std::string(1023, 'x'));  // cut to the buffer
    EXPECT_EQ(next(0), "");
    store_msg(VANT_SEV_WARNING, "hidden");
    EXPECT_EQ(get_auth_msg(nullptr), 0);  // discards
    EXPECT_EQ(next(0), "");
}

struct BuiltIn {
    int number;
    const char *text;
};
#define VANT_BUILT_IN(number, variable, text) {number, text},
constexpr BuiltIn kBuiltIn[] = {VANT_MESSAGE_TABLE(VANT_BUILT_IN)};
#undef VANT_BUILT_IN

TEST_F(SandboxTest, ShippedCatalogHoldsEveryBuiltInText) {
    ASSERT_EQ(start(box, {.built_catalog = true}), 0);
    set_auth_msg(VANT_MSG_CATALOG);
    ASSERT_EQ(get_auth_msg_behaviour(), VANT_MSG_CATALOG);
    for (const BuiltIn &m : kBuiltIn) {
        std::string fallback = m.text;
        const char *text = intl_msg(m.number, fallback.c_str());
        EXPECT_NE(text, fallback.c_str()) << m.number << " is not in the catalog";
        EXPECT_STREQ(text, m.text) << m.number;
    }
}

TEST_F(SandboxTest, ChangedTextsAreSeen) {
    box.write("/custom.msg",
              "$quote \"\n$set 1\n"
              "24 \"Prozess ohne erstes Argument gestartet\"\n"
              "48 \"Zu kurz (%s Zeichen)\"\n");
    box.mkdir("/nls");
    std::string cmd = "gencat " + box.path("/nls/vant.cat@Unix") + " " + box.path("/custom.msg");
    ASSERT_EQ(system(cmd.c_str()), 0);
    setenv("NLSPATH", (box.path("/nls") + "/%N").c_str(), 1);
    set_auth_msg(VANT_MSG_CATALOG | VANT_MSG_STORE);
    EXPECT_EQ(get_auth_msg_behaviour(), 3);
    EXPECT_STREQ(intl_msg(24, vant_badargs), "Prozess ohne erstes Argument gestartet");
    EXPECT_EQ(intl_msg(23, vant_badkernel), vant_badkernel);
    // A text whose conversions differ from the built-in one is never used as a format.
    EXPECT_EQ(intl_msg(48, smpm_shortn), smpm_shortn);
}

}  // namespace
}  // namespace vant::test
