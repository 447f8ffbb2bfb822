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

TEST_F(AuditDeliveryTest, FailureRecordsCarryKindAndTexts) {
    EXPECT_GT(audit_auth_entry(nullptr, 15, nullptr), 0);
    audit_lax_file(nullptr, nullptr);
    audit_security_failure(5, 1000, 4294967295UL, "restore RUID on setuid program",
                           "Cannot implement least privilege");
    sa_audit_security_failure(14, 1, 3, nullptr, nullptr);
    EXPECT_EQ(
        delivered(box),
        (std::vector<Args>{vec("18", "25", "1", {"15", "", ""}), vec("18", "25", "2", {"", ""}),
                           vec("18", "25", "4",
                               {"5", "1000", "4294967295", "restore RUID on setuid program",
                                "Cannot implement least privilege"}),
                           vec("12", "25", "4", {"14", "1", "3", "", ""})}));
    EXPECT_EQ(stored_messages(), Args{": File Control database inconsistency"});
}

TEST_F(AuditDeliveryTest, NoResourceMessagesShowTranslatedTextsRecordsKeepOriginals) {
    audit_no_resource("disk", 1, nullptr);
    intl_audit_no_resource("disk", "Platte", 20, "full", "voll");
    sa_audit_no_resource(nullptr, 14, "locked");
    audit_no_memory();
    EXPECT_EQ(delivered(box),
              (std::vector<Args>{vec("18", "25", "3", {"1", "disk", ""}),
                                 vec("18", "25", "3", {"20", "disk", "full"}),
                                 vec("12", "25", "3", {"14", "", "locked"}),
                                 vec("18", "25", "3", {"6", "memory", "no more is available"})}));
    EXPECT_EQ(stored_messages(),
              (Args{"resource: disk could not be allocated due to: ",
                    "resource: Platte could not be allocated due to: voll",
                    "resource:  could not be allocated due to: locked",
                    "resource: memory could not be allocated due to: no more is available"}));
}

TEST_F(AuditDeliveryTest, SubsystemAndLockRecordsUseTheCodeAsDetail) {
    audit_subsystem(7, "started", nullptr);
    sa_audit_subsystem(8, nullptr, "stopped");
    sa_audit_lock(1, "mallory");
    sa_audit_lock(2, nullptr);
    EXPECT_EQ(delivered(box),
              (std::vector<Args>{vec("19", "26", "7", {"started", ""}),
                                 vec("12", "26", "8", {"", "stopped"}),
                                 vec("12", "22", "1", {"mallory"}), vec("12", "22", "2", {})}));
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

// The starting effective group names arguments 7 and 8.
TEST(AuditGroupTest, TheStartingGroupNamesTheSubsystemFileOpened) {
    struct Row {
        std::string name, group_file, subsystem_file;
        Args args;
    } rows[] = {
        {"no name", "other:x:" + std::to_string(getegid() + 1) + ":\n", "", {"none", "-1"}},
        {"long name cut to each buffer",
         egid_group("averyveryverylonggroupname"),
         "/tcb/files/subsys/averyveryveryl",
         {"averyveryverylonggr", "fd"}},
        {"name naming another file",
         egid_group("../secret"),
         "/tcb/files/secret",
         {"../secret", "-1"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto r = run_child([&row] {
            Sandbox box;
            box.write("/etc/group", row.group_file);
            if (!row.subsystem_file.empty()) box.write(row.subsystem_file, "");
            start(box, {.program = "/usr/sbin/audtest"});
            audit_subsystem(1, "x", "y");
            for (const Delivery &d : read_deliveries(box.recorder_log()))
                printf("%s %s %s;", d.args.at(7).c_str(),
                       d.descriptor == "read-only" ? "fd" : d.args.at(8).c_str(),
                       d.sigterm.c_str());
        });
        EXPECT_EQ(r.out, row.args[0] + " " + row.args[1] + " blocked;");
    }
}

class AuditStartTest : public SandboxTest {};

TEST_F(AuditStartTest, EveryEntryPointRequiresStartUp) {
    static pr_passwd pr{};
    std::function<void()> calls[] = {[] { audit_auth_entry("a", 1, "b"); },
                                     [] { audit_lax_file("a", "b"); },
                                     [] { audit_no_resource("a", 1, "b"); },
                                     [] { intl_audit_no_resource("a", "a", 1, "b", "b"); },
                                     [] { sa_audit_no_resource("a", 1, "b"); },
                                     [] { audit_no_memory(); },
                                     [] { audit_security_failure(1, 2, 3, "a", "b"); },
                                     [] { sa_audit_security_failure(1, 2, 3, "a", "b"); },
                                     [] { audit_subsystem(1, "a", "b"); },
                                     [] { sa_audit_subsystem(1, "a", "b"); },
                                     [] { sa_audit_lock(1, "a"); },
                                     [] { audit_login(&pr, nullptr, nullptr, 1); },
                                     [] { audit_passwd(&pr, 1); },
                                     [] { audit_lock(&pr, 1, 1); },
                                     [] { sa_audit_audit(1, "a"); },
                                     [] { audit_adjust_mask(&pr); }};
    for (auto &call : calls) {
        auto r = run_child(call);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "set_auth_parameters(S) has not been called, see identity(S)\n");
    }
}

}  // namespace
}  // namespace vant::test
