// Identity changes run as root in a child process.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "login/attempt.h"
#include "login/login_environment.h"
#include "login/login_fixture.h"
#include "login/supplementary_groups.h"
#include "platform/security_call.h"
#include "support/child.h"

namespace vant::test {
namespace {

class IdentityTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        box.write("/etc/group",
                  "root:x:0:\nauth:x:21:\nusers:x:100:alice,bob\nstaff:x:50:alice\n"
                  "audio:x:60:alice,alice\nvideo:x:70:bob\n");
        box.write("/loginuid", "");
        platform::set_loginuid_file_for_tests(strdup(box.path("/loginuid").c_str()));
        unsetenv("TERM");
        unsetenv("TZ");
        unsetenv("HZ");
        setenv("PATH", "/caller/bin", 1);
    }
    static std::vector<std::string> list(const smp_attempt *a) {
        char **env = login::build_environment(*a, login::shell_of(*a), true);
        std::vector<std::string> entries(env, std::find(env, env + 20, nullptr));
        free(env[0]);
        free(env);
        return entries;
    }
    std::vector<gid_t> groups_of(const char *user, int size, int *warnings) {
        std::vector<gid_t> v(static_cast<size_t>(size), login::kNoGroup);
        *warnings = login::getbasesg(user, size, v.data(), nullptr);
        v.erase(std::find(v.begin(), v.end(), login::kNoGroup), v.end());
        return v;
    }
    // What a child at priority 0 has become after smp_set_identity, each
    // "key=value" line checked.
    void expect_identity(const char *tty, int request, const std::vector<std::string> &lines) {
        ChildResult r = run_child([&] {
            setpriority(PRIO_PROCESS, 0, 0);
            char *text = nullptr, **env = nullptr, *shell = nullptr, cwd[4096] = "";
            int result =
                smp_set_identity(check("alice", tty, request).attempt, &text, &env, &shell);
            gid_t groups[16];
            int n = getgroups(16, groups), open = 0;
            struct rlimit fsize;
            getrlimit(RLIMIT_FSIZE, &fsize);
            printf("result=%d\ntext=%s\nuid=%d/%d\ngid=%d\ncwd=%s\nfsize=%ld\nnice=%d\ngroups=",
                   result, text != nullptr ? text : "", static_cast<int>(getuid()),
                   static_cast<int>(geteuid()), static_cast<int>(getgid()), getcwd(cwd, 4096),
                   static_cast<long>(fsize.rlim_cur), getpriority(PRIO_PROCESS, 0));
            for (int i = 0; i < n; ++i)
                printf("%d,", static_cast<int>(groups[i]));
            printf("\nshell=%s\n", shell != nullptr ? shell : "");
            for (char **e = env; e != nullptr && *e != nullptr; ++e)
                printf("env %s\n", *e);
            // No descriptor on the system's files is left to the user's shell.
            for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
                std::error_code ignored;
                open += std::filesystem::read_symlink(fd.path(), ignored)
                            .string()
                            .starts_with(box.root() + "/");
            }
            printf("open=%d\n", open);
        });
        EXPECT_EQ(r.exit_status, 0) << r.err;
        for (const std::string &line : lines)
            EXPECT_NE(("\n" + r.out).find("\n" + line + "\n"), std::string::npos) << line << "\n"
                                                                                  << r.out;
    }
    std::string user() const { return box.read(entry_path("alice")); }
};

#define REQUIRE_ROOT() \
    if (geteuid() != 0) GTEST_SKIP() << "changing identities needs root"

TEST_F(IdentityTest, LoginBecomesTheUserAndIsRecorded) {
    REQUIRE_ROOT();
    entry("alice", "u_id#1000:u_nullpw:u_numunsuclog#2:u_priority#5");
    terminals("tty1:t_devname=tty1:t_failures#2:chkent:\n");
    login_settings("ULIMIT=4096\n");
    box.write("/dev/auditw", "");
    expect_identity(
        "/dev/tty1", SMP_LOGIN,
        {"result=0", "uid=1000/1000", "gid=100", "groups=50,60,100,", "fsize=2097152", "nice=5",
         "shell=/bin/sh", "open=0", "env LOGNAME=alice", "cwd=" + box.path("/home/alice")});
    EXPECT_EQ(box.read("/loginuid"), "1000");
    std::string tty = box.read("/etc/auth/system/ttys");
    for (const char *set : {"u_suctty=tty1", "u_suclog#"})
        EXPECT_NE(user().find(set), std::string::npos) << user();
    EXPECT_EQ(user().find("u_numunsuclog"), std::string::npos) << user();
    for (const char *set : {"t_uid=alice", "t_logtime#"})
        EXPECT_NE(tty.find(set), std::string::npos) << tty;
    EXPECT_EQ(tty.find("t_failures"), std::string::npos) << tty;
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
}

// A switch keeps the real and the login user; a failure ends the call
// unless overridden.
TEST_F(IdentityTest, SwitchesAndFailures) {
    REQUIRE_ROOT();
    entry("alice", "u_id#1000:u_nullpw:u_suctty=tty9");
    terminals("tty9:t_devname=tty9:chkent:\n");
    expect_identity(nullptr, SMP_SWITCH, {"result=0", "uid=0/1000"});
    EXPECT_EQ(box.read("/loginuid"), "");
    EXPECT_EQ(user().find("u_suctty"), std::string::npos);
    EXPECT_EQ(box.read("/etc/auth/system/ttys"), "tty9:t_devname=tty9:chkent:\n");
    box.remove("/home/alice");
    expect_identity(nullptr, SMP_LOGIN,
                    {"result=18", "text=Cannot change to home directory", "uid=0/0"});
    EXPECT_NE(user().find("u_suclog#"), std::string::npos);
    expect_identity("/dev/tty5", SMP_OVERRIDE_LOGIN,
                    {"result=19", "text=Cannot change to home directory", "uid=1000/1000"});
}

// The site's settings and the user's being root or hushed shape the
// environment; the caller's TERM passes.
TEST_F(IdentityTest, EnvironmentFollowsSettingsAndCaller) {
    entry("alice", "u_id#1000:u_nullpw");
    unsetenv("PATH");
    setenv("TERM", "dumb", 1);
    login_settings("HZ=60\nALLOWHUSH=YES\n");
    smp_attempt *a = check("alice", nullptr).attempt;
    a->hushed = 1;
    EXPECT_EQ(list(a),
              (std::vector<std::string>{
                  "LOGNAME=alice", "TZ=EST5EDT", "HZ=60", "PATH=:/bin:/usr/bin", "HOME=/home/alice",
                  "TERM=dumb", "SHELL=/bin/sh", "MAIL=/usr/spool/mail/alice", "HUSHLOGIN=TRUE"}));
    a->pw.pw_uid = 0;
    EXPECT_EQ(list(a)[3], "PATH=/bin:/etc:/usr/bin");
}

// Warnings count the duplicates, the groups with no room and the unknown
// names; a list the user cannot read gives the base group alone.
TEST_F(IdentityTest, GroupsFromTheGroupFileOrTheUsersOwnList) {
    int warnings = -1;
    EXPECT_EQ(groups_of("alice", 32, &warnings), (std::vector<gid_t>{100, 50, 60}));
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(groups_of("alice", 2, &warnings), (std::vector<gid_t>{100}));
    EXPECT_EQ(warnings, 3);
    box.write("/home/alice/.suppgroups",
              "audio\n\nstaff\naudio\nvideo\nnosuchgroup\nabcdefghijklmnopq\nusers\n");
    EXPECT_EQ(groups_of("alice", 32, &warnings), (std::vector<gid_t>{60, 50, 100}));
    EXPECT_EQ(warnings, 4);
    EXPECT_EQ(groups_of("nobody", 32, &warnings), std::vector<gid_t>{});
    EXPECT_EQ(warnings, -1);
    if (geteuid() != 0) return;  // an unreadable list needs another user
    box.write("/home/alice/.suppgroups", "staff\n", 0);
    ChildResult r = run_child([this] {
        int warnings = -1;
        if (seteuid(1000) != 0) _exit(2);
        bool unreadable = groups_of("alice", 32, &warnings).empty() && warnings == 1;
        // A home the user cannot search leaves the group file's list.
        if (seteuid(0) != 0 || chmod(box.path("/home/alice").c_str(), 0) != 0 || seteuid(1000) != 0)
            _exit(3);
        bool unsearchable = groups_of("alice", 32, &warnings) == std::vector<gid_t>{100, 50, 60};
        _exit(unreadable && unsearchable ? 0 : 1);
    });
    EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
}  // namespace vant::test
