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

using login::getlgdefaults;
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
    void passwd(const std::string &text) { box.write("/etc/default/passwd", text); }
    void login(const std::string &text) { box.write("/etc/default/login", text); }
    // The error, text and path of each security-failure record.
    std::vector<std::string> checker_reports() {
        std::vector<std::string> out;
        for (const Delivery &d : read_deliveries(box.recorder_log())) {
            size_t n = d.args.size();
            if (n >= 9 && d.args[6] == "4")
                out.push_back(d.args[n - 3] + " " + d.args[n - 2] + " " + d.args[n - 1]);
        }
        return out;
    }
};

TEST_F(LoginDefaultsTest, LoginKeysMatchInAnyCaseAndAbsentTextsAreCleared) {
    login("console=/dev/console\nPATH=/bin\nULIMIT=2048\nOVERRIDE=tty1\nALLOWHUSH=yes\n");
    ASSERT_EQ(getlgdefaults(), 0);
    auto &s = login::login_settings();
    EXPECT_EQ(s.console, "/dev/console");
    EXPECT_EQ(s.path, "/bin");
    EXPECT_EQ(s.ulimit, 2048);
    EXPECT_EQ(s.system_console, "tty1");
    EXPECT_EQ(s.hush, "NO");
    login("ALLOWHUSH=YES\n");
    ASSERT_EQ(getlgdefaults(), 0);
    EXPECT_FALSE(s.console.has_value());
    EXPECT_FALSE(s.path.has_value());
    EXPECT_EQ(s.ulimit, 2048);
    EXPECT_EQ(s.system_console, "tty1");
    EXPECT_EQ(s.hush, "YES");
    box.remove("/etc/default/login");
    EXPECT_NE(getlgdefaults(), 0);
    EXPECT_EQ(s.hush, "YES");
}

TEST_F(LoginDefaultsTest, PasswordValuesAreClamped) {
    struct Row {
        const char *file;
        int absmin, retries;
        bool only1try;
    } rows[] = {
        {"PASSLENGTH=0\nRETRIES=0\nONETRY=no\n", -1, 1, false},
        {"PASSLENGTH=-3\nRETRIES=5\nONETRY=Yes\n", -1, 5, true},
        {"PASSLENGTH=200\n", 80, 3, true},
        {"PASSLENGTH=12\n", 12, 3, true},
    };
    for (const Row &r : rows) {
        password_settings() = {};
        passwd(r.file);
        ASSERT_EQ(getpwdefaults(), 0);
        const auto &s = password_settings();
        EXPECT_TRUE(s.read);
        EXPECT_EQ(s.absmin, r.absmin) << r.file;
        EXPECT_EQ(s.retries, r.retries) << r.file;
        EXPECT_EQ(s.only1try, r.only1try) << r.file;
    }
}

TEST_F(LoginDefaultsTest, CheckerSettingsAndUnusableCheckerFiles) {
    passwd("GOODPW=NONE\n");
    getpwdefaults();
    EXPECT_TRUE(password_settings().no_goodpw && password_settings().no_check);
    password_settings() = {};
    box.write("/usr/bin/goodpw", "#!/bin/sh\n", 0755);
    passwd("GOODPW=YES\nCHECKDIR=/usr/lib/rules\n");
    getpwdefaults();
    EXPECT_EQ(password_settings().goodpw_prog, "/usr/bin/goodpw");
    EXPECT_EQ(password_settings().checkdir, "/usr/lib/rules");
    EXPECT_TRUE(checker_reports().empty());
    // Unusable files are reported and change nothing.
    box.remove("/usr/bin/goodpw");
    password_settings() = {};
    passwd("GOODPW=YES\n");
    getpwdefaults();
    passwd("GOODPW=bin/goodpw\nCHECKDIR=rules\n");
    getpwdefaults();
    EXPECT_FALSE(password_settings().goodpw_prog.has_value());
    EXPECT_FALSE(password_settings().checkdir.has_value());
    EXPECT_EQ(checker_reports(),
              (std::vector<std::string>{
                  std::to_string(ENOENT) + " The goodpw binary file is missing /usr/bin/goodpw",
                  "22 The goodpw binary file is missing bin/goodpw",
                  "22 The goodpw additional checks file is missing rules"}));
}

TEST(LastComponentTest, CutsTrailingSlashesInPlace) {
    char device[] = "/dev/tty01", dir[] = "/usr/lib/", root[] = "/", plain[] = "tty2";
    EXPECT_STREQ(login::last_component(device), "tty01");
    EXPECT_STREQ(login::last_component(dir), "lib");
    EXPECT_STREQ(dir, "/usr/lib");
    EXPECT_STREQ(login::last_component(root), "");
    EXPECT_EQ(login::last_component(plain), plain);
    EXPECT_EQ(login::last_component(nullptr), nullptr);
}

}  // namespace
}  // namespace vant::test
