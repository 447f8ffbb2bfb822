// Authorizations declared, every grant file listed in File Control, a System
// Default entry; the program's login user is alice.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/security_call.h"
#include "support/recorder_log.h"
#include "support/records.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {

using Texts = std::vector<std::string>;

// Numbered in file order: audit 0, audittrail 1, auth 2, su 3, passwd 4,
// ..., lp 8, printqueue 9, printerstat 10, ..., root 15, shutdown 16.
inline constexpr const char *kDeclaration =
    "audit:audittrail\nauth:su,passwd\nbackup:queryspace\ncron:\n"
    "lp:printqueue,printerstat\nmem:\nsysadmin:\nterminal:\nuucp:\nroot:shutdown\n";

inline std::string grants(const std::string &name) {
    return "/etc/auth/subsystems/" + name;
}

class GrantsTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/auth/system/authorize", kDeclaration);
        list_in_file_control({"*"});
        write_system_default(box, "u_cmdpriv=auth,printqueue");
        box.write("/loginuid", "1000\n");
        platform::set_loginuid_file_for_tests(strdup(box.path("/loginuid").c_str()));
        ASSERT_EQ(start(box, {.program = "authtest", .store_messages = true}), 0);
    }
    // Transition files of these grant files listed in File Control ("*": all).
    void list_in_file_control(const Texts &names) const {
        std::string entries;
        for (const auto &n : names)
            entries += grants(n) + (n == "*" ? "" : "-t") + ":f_mode#0640:f_type=r:chkent:\n";
        box.write("/etc/auth/system/files", entries);
    }
    void grant_file(const std::string &name, const std::string &text) const {
        box.write(grants(name), text);
    }
    std::string grant_file(const std::string &name) const { return box.read(grants(name)); }
    bool audited(const std::string &text) const {
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (std::find(d.args.begin(), d.args.end(), text) != d.args.end()) return true;
        return false;
    }
};

}  // namespace vant::test
