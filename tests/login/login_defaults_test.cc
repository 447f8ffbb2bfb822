// The site's login and password settings: what each key gives, what an
// absent key or file leaves, and the reports of an unusable checker.
#include "login/login_defaults.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using login::getpwdefaults;
using login::password_settings;

class LoginDefaultsTest : public StartedTest {
  protected:
    void SetUp() override {
        box.write("/etc/group", "auditors:x:" + std::to_string(getegid()) + ":\n");
        box.write("/tcb/files/subsys/auditors", "");
        how.program = "login";
        StartedTest::SetUp();
    }
    void passwd(const std::string &text) {
        box.write("/etc/default/passwd", text);
        password_settings() = {};
        getpwdefaults();
    }
};

TEST_F(LoginDefaultsTest, LoginKeysMatchInAnyCaseAndAbsentTextsAreCleared) {
    box.write("/etc/default/login",
              "console=/dev/console\nULIMIT=2048\nOVERRIDE=tty1\n"
              "ALLOWHUSH=yes\n");
    ASSERT_EQ(login::getlgdefaults(), 0);
    auto &s = login::login_settings();
    EXPECT_EQ(s.console, "/dev/console");
    EXPECT_EQ(s.ulimit, 2048);
    EXPECT_EQ(s.hush, "NO");
    box.write("/etc/default/login", "ALLOWHUSH=YES\n");
    ASSERT_EQ(login::getlgdefaults(), 0);
    EXPECT_FALSE(s.console.has_value());
    EXPECT_EQ(s.ulimit, 2048);
    EXPECT_EQ(s.system_console, "tty1");
    EXPECT_EQ(s.hush, "YES");
    box.remove("/etc/default/login");
    EXPECT_NE(login::getlgdefaults(), 0);
}

TEST_F(LoginDefaultsTest, PasswordValuesAreClamped) {
    struct Row {
        const char *file;
        int absmin, retries;
        bool only1try;
    } rows[] = {{"PASSLENGTH=0\nRETRIES=0\nONETRY=no\n", -1, 1, false},
                {"PASSLENGTH=-3\nRETRIES=5\nONETRY=Yes\n", -1, 5, true},
                {"PASSLENGTH=200\n", 80, 3, true},
                {"PASSLENGTH=12\n", 12, 3, true}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.file);
        passwd(r.file);
        EXPECT_TRUE(password_settings().read);
        EXPECT_EQ(password_settings().absmin, r.absmin);
        EXPECT_EQ(password_settings().retries, r.retries);
        EXPECT_EQ(password_settings().only1try, r.only1try);
    }
}

// Unusable checker files are reported and change nothing.
TEST_F(LoginDefaultsTest, CheckerSettingsAndUnusableCheckerFiles) {
    passwd("GOODPW=NONE\n");
    EXPECT_TRUE(password_settings().no_goodpw && password_settings().no_check);
    box.write("/usr/bin/goodpw", "#!/bin/sh\n", 0755);
    passwd("GOODPW=YES\nCHECKDIR=/usr/lib/rules\n");
    EXPECT_EQ(password_settings().goodpw_prog, "/usr/bin/goodpw");
    EXPECT_EQ(password_settings().checkdir, "/usr/lib/rules");
    box.remove("/usr/bin/goodpw");
    passwd("GOODPW=YES\n");
    passwd("GOODPW=bin/goodpw\nCHECKDIR=rules\n");
    EXPECT_FALSE(password_settings().goodpw_prog.has_value());
    EXPECT_FALSE(password_settings().checkdir.has_value());
    std::vector<std::string> reports;
    for (const Delivery &d : read_deliveries(box.recorder_log()))
        if (size_t n = d.args.size(); n >= 9 && d.args[6] == "4")
            reports.push_back(d.args[n - 3] + " " + d.args[n - 2] + " " + d.args[n - 1]);
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  std::to_string(ENOENT) + " The goodpw binary file is missing /usr/bin/goodpw",
                  "22 The goodpw binary file is missing bin/goodpw",
                  "22 The goodpw additional checks file is missing rules"}));
}

}  // namespace
}  // namespace vant::test
