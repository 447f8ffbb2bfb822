// A sandbox for the Terminal Control and Device Assignment databases: File
// Control entries for their transition files, a System Default entry with
// terminal and device defaults, and the audit trail recorded.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {

constexpr const char *kTtys = "/etc/auth/system/ttys";
constexpr const char *kDevassign = "/etc/auth/system/devassign";
constexpr const char *kSystemDefault = "/etc/auth/system/default";

constexpr const char *kFileControl =
    "/etc/auth/system/ttys-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/etc/auth/system/devassign-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n";

constexpr const char *kDefaults =
    "# site defaults\n"
    "default:d_name=default:u_maxlen#8:t_maxtries#5:t_logdelay#2:\\\n"
    "\t:t_login_timeout#30:v_type=terminal:v_users=root:chkent:\n"
    "other:d_name=other:t_maxtries#9:chkent:\n";

class SystemDbTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/auth/system/files", kFileControl, 0664);
        box.write(kSystemDefault, kDefaults, 0664);
        box.install_recorder();
        static char program[] = "vanttest";
        static char *argv[] = {program, nullptr};
        set_auth_parameters(1, argv);
    }

    // Code, object and text of every audit record delivered so far.
    std::vector<std::vector<std::string>> records() const {
        std::vector<std::vector<std::string>> all;
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (d.args.size() > 9) all.emplace_back(d.args.begin() + 9, d.args.end());
        return all;
    }

    // The database's text as it was, and nothing beside it: an update that
    // failed or finished leaves no transition file.
    void expect_unchanged(const char *path, const std::string &text) const {
        EXPECT_EQ(box.read(path), text);
        EXPECT_FALSE(box.exists(std::string(path) + "-t"));
        EXPECT_FALSE(box.exists(std::string(path) + "-o"));
    }
};

}  // namespace vant::test
