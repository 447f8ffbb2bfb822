// A system for the login services: the Protected Password sandbox with
// terminals, device assignments and the site's login settings.
#pragma once

#include <string>
#include <vector>

#include "databases/protected_password_fixture.h"

namespace vant::test {

// How smp_check_user answered.
struct Check {
    int result;
    std::string text;
    smp_attempt *attempt = nullptr;
    int retries;
    int delay;
};

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
    // Starts an attempt as a login or password program would.
    Check check(const char *user, const char *tty, int request = SMP_LOGIN, int retries = 0,
                uid_t subject = 1000) {
        Check c{};
        char *text = nullptr;
        c.retries = retries;
        c.delay = -1;
        std::string u = user != nullptr ? user : "", t = tty != nullptr ? tty : "";
        c.result = smp_check_user(request, user != nullptr ? u.data() : nullptr,
                                  tty != nullptr ? t.data() : nullptr, subject, &c.attempt,
                                  &c.retries, &text, nullptr, &c.delay);
        c.text = text != nullptr ? text : "";
        track(c.attempt);
        return c;
    }
    void terminals(const std::string &entries) const {
        box.write("/etc/auth/system/ttys", entries, 0664);
    }
    void login_settings(const std::string &text) const { box.write("/etc/default/login", text); }
};

}  // namespace vant::test
