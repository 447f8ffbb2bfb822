// A system for the login services: the Protected Password sandbox with
// terminals, device assignments and the site's login settings.
#pragma once

#include <string>
#include <vector>

#include "databases/protected_password_fixture.h"

namespace vant::test {

inline constexpr const char *kLoginFileControl =
    "/etc/auth/system/ttys-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n";

class LoginTest : public PrpwTest {
  protected:
    std::vector<smp_attempt *> attempts;

    void SetUp() override {
        PrpwTest::SetUp();
        box.write("/etc/auth/system/files", std::string(kPrpwFileControl) + kLoginFileControl,
                  0664);
        box.write("/etc/auth/system/devassign",
                  "term1:v_devs=/dev/pts/3,/dev/pts/4:v_type=terminal:chkent:\n", 0664);
        terminals("");
    }
    void TearDown() override {
        for (smp_attempt *a : attempts)
            smp_free_attempt(a);
    }
    // Released when the test ends.
    smp_attempt *track(smp_attempt *a) {
        attempts.push_back(a);
        return a;
    }
    void terminals(const std::string &entries) const {
        box.write("/etc/auth/system/ttys", entries, 0664);
    }
    void login_settings(const std::string &text) const { box.write("/etc/default/login", text); }
};

}  // namespace vant::test
