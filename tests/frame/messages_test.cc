// Messages: printed with the command's name, or stored for the program.
#include <string>

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

TEST(MessagesTest, BuiltInTextIsTheVariableItself) {
    EXPECT_EQ(intl_msg(24, vant_badargs), vant_badargs);
    EXPECT_STREQ(vant_palindrome, "Password must not be a palindrome");
    EXPECT_STREQ(smpm_lul5, " 1 unsuccessful login for %s: %s on %s");
    EXPECT_STREQ(smpm_initcond2, "Could not execute %s (errno %d)");
    EXPECT_EQ(get_auth_msg_behaviour(), 0);
    char *text = nullptr;
    EXPECT_EQ(get_auth_msg(&text), 0);  // nothing to read while printing
    EXPECT_EQ(text, nullptr);
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

TEST(MessagesTest, StoredMessagesAreReadOldestFirstUntilDiscardedOrSwitchedOff) {
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(get_auth_msg_behaviour(), VANT_MSG_STORE);
    store_msg(VANT_SEV_WARNING, "one");
    store_msg(VANT_SEV_FATAL, "two %d", 2);  // stored, the process goes on
    store_msg(VANT_SEV_WARNING, "%s", std::string(3000, 'x').c_str());
    EXPECT_EQ(next(1), "one");
    EXPECT_EQ(next(2), "two 2");
    EXPECT_EQ(next(1), std::string(1023, 'x'));  // cut to the buffer
    EXPECT_EQ(next(0), "");
    // A list that has been read is replaced by the next message.
    store_msg(VANT_SEV_WARNING, "four");
    EXPECT_EQ(next(1), "four");
    EXPECT_EQ(next(0), "");

    store_msg(VANT_SEV_WARNING, "hidden");
    EXPECT_EQ(get_auth_msg(nullptr), 0);  // discards
    EXPECT_EQ(next(0), "");
    store_msg(VANT_SEV_WARNING, "fresh");
    EXPECT_EQ(next(1), "fresh");

    store_msg(VANT_SEV_WARNING, "dropped");
    set_auth_msg(VANT_MSG_PRINT);
    EXPECT_EQ(get_auth_msg_behaviour(), 0);
    EXPECT_EQ(next(0), "");
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(next(0), "");
}

TEST(MessagesTest, RepointedVariableIsReadAtReportTime) {
    vant_badargs = "started without a name";
    set_auth_msg(VANT_MSG_STORE);
    char *empty[] = {nullptr};
    EXPECT_EQ(set_auth_parameters(0, empty), -1);
    EXPECT_EQ(next(2), "started without a name");
}

}  // namespace
}  // namespace vant::test
