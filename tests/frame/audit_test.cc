// Tests of audit records handed to the delivery program.
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using Args = std::vector<std::string>;

std::string egid_group(const std::string &name) {
    return name + ":x:" + std::to_string(getegid()) + ":\n";
}

// Each run's vector, its time checked and shown as "T", an open read-only
// descriptor shown as "fd"; every run must have had SIGTERM blocked.
std::vector<Args> delivered(const Sandbox &box) {
    std::vector<Args> all;
    for (Delivery d : read_deliveries(box.recorder_log())) {
        EXPECT_EQ(d.sigterm, "blocked");
        if (d.args.size() < 9) ADD_FAILURE() << "short vector";
        if (d.args.size() < 9) continue;
        EXPECT_NEAR(std::stod(d.args[1]), static_cast<double>(time(nullptr)), 60);
        d.args[1] = std::string("T");
        if (d.descriptor == "read-only") d.args[8] = std::string("fd");
        all.push_back(d.args);
    }
    return all;
}

Args vec(const char *event, const char *record, const char *detail, const Args &own) {
    Args v = {"dlvr_audit", "T",    event,      record, std::to_string(getpid()),
              "audtest",    detail, "auditors", "fd"};
    v.insert(v.end(), own.begin(), own.end());
    return v;
}

class AuditDeliveryTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/group", egid_group("auditors"));
        box.write("/tcb/files/subsys/auditors", "");
        ASSERT_EQ(start(box, {.program = "/usr/sbin/audtest", .store_messages = true}), 0);
    }
};

TEST_F(AuditDeliveryTest, RecordsCarryKindCodeAndTextsAndMessagesShowTranslations) {
    EXPECT_GT(audit_auth_entry(nullptr, 15, nullptr), 0);
    audit_lax_file(nullptr, nullptr);
    audit_security_failure(5, 1000, 4294967295UL, "restore RUID on setuid program", "least");
    sa_audit_security_failure(14, 1, 3, nullptr, nullptr);
    intl_audit_no_resource("disk", "Platte", 20, "full", "voll");
    sa_audit_no_resource(nullptr, 14, "locked");
    audit_no_memory();
    audit_subsystem(7, "started", nullptr);
    sa_audit_subsystem(8, nullptr, "stopped");
    sa_audit_lock(1, "mallory");
    EXPECT_EQ(delivered(box),
              (std::vector<Args>{
                  vec("18", "25", "1", {"15", "", ""}), vec("18", "25", "2", {"", ""}),
                  vec("18", "25", "4",
                      {"5", "1000", "4294967295", "restore RUID on setuid program", "least"}),
                  vec("12", "25", "4", {"14", "1", "3", "", ""}),
                  vec("18", "25", "3", {"20", "disk", "full"}),
                  vec("12", "25", "3", {"14", "", "locked"}),
                  vec("18", "25", "3", {"6", "memory", "no more is available"}),
                  vec("19", "26", "7", {"started", ""}), vec("12", "26", "8", {"", "stopped"}),
                  vec("12", "22", "1", {"mallory"})}));
    EXPECT_EQ(stored_messages(),
              (Args{": File Control database inconsistency",
                    "resource: Platte could not be allocated due to: voll",
                    "resource:  could not be allocated due to: locked",
                    "resource: memory could not be allocated due to: no more is available"}));
}

TEST_F(AuditDeliveryTest, MessagesAndPendingOutputAreOrderedAroundTheProgram) {
    box.write("/etc/auth/dlvr_audit", "#!/bin/sh\necho delivered\necho delivered >&2\n", 0755);
    auto r = run_child([] {
        set_auth_msg(VANT_MSG_PRINT);
        printf("pending ");
        audit_no_resource("memory", 6, "gone");
        audit_lax_file("/etc/auth/system/files", "mode 0666");
    });
    EXPECT_EQ(r.out, "pending delivered\ndelivered\n");
    EXPECT_EQ(r.err,
              "audtest: resource: memory could not be allocated due to: gone\n"
              "delivered\n"
              "delivered\n"
              "audtest: /etc/auth/system/files: File Control database inconsistency\n");
}

// The starting effective group names arguments 7 and 8, and never a file
// outside the subsystem directory.
TEST(AuditGroupTest, TheStartingGroupNamesTheSubsystemFileOpened) {
    auto r = run_child([] {
        Sandbox box;
        box.write("/etc/group", egid_group("../secret"));
        box.write("/tcb/files/secret", "");
        start(box, {.program = "/usr/sbin/audtest"});
        audit_subsystem(1, "x", "y");
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            printf("%s %s %s;", d.args.at(7).c_str(), d.args.at(8).c_str(), d.sigterm.c_str());
    });
    EXPECT_EQ(r.out, "../secret -1 blocked;");
}

TEST_F(SandboxTest, EveryEntryPointRequiresStartUp) {
    static pr_passwd pr{};
    std::function<void()> calls[] = {[] { audit_auth_entry("a", 1, "b"); },
                                     [] { audit_login(&pr, nullptr, nullptr, 1); },
                                     [] { sa_audit_audit(1, "a"); }};
    for (auto &call : calls) {
        auto r = run_child(call);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "set_auth_parameters(S) has not been called, see identity(S)\n");
    }
}

}  // namespace
}  // namespace vant::test
