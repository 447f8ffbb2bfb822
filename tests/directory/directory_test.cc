// Users and groups from a real directory server, through the provider the
// site's settings name: lookups, the "+" and "-" lines, Protected Password
// entries, logins and password changes, and what an absent, silent or
// unsound directory gives.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <time.h>

#include <chrono>
#include <string>

#include "directory/connection.h"
#include "directory/directory_fixture.h"
#include "directory/entry_lines.h"
#include "directory/settings.h"
#include "login/attempt.h"
#include "support/child.h"

namespace vant::test {
namespace {

using directory::Entry;
using directory::PasswordField;

// ---- entries and settings, without a server -------------------------------

Entry user_entry(std::map<std::string, std::vector<std::string>> changes) {
    Entry e{"uid=u,ou=people",
            {{"uid", {"u"}},
             {"uidnumber", {"1234"}},
             {"gidnumber", {"100"}},
             {"gecos", {"U Ser"}},
             {"homedirectory", {"/home/u"}},
             {"loginshell", {"/bin/sh"}},
             {"userpassword", {"{crypt}abCRYPTED"}}}};
    for (auto &[k, v] : changes) {
        if (v.empty())
            e.attributes.erase(k);
        else
            e.attributes[k] = v;
    }
    return e;
}

TEST(EntryLinesTest, UnsoundUserEntriesAreRefusedWithTheReason) {
    struct Case {
        std::map<std::string, std::vector<std::string>> change;
        const char *why;
    } cases[] = {
        {{{"uidnumber", {"12x"}}}, "uidNumber is not a number"},
        {{{"uidnumber", {"-1"}}}, "uidNumber is not a number"},
        {{{"uidnumber", {"65536"}}}, "uidNumber is above 65535"},
        {{{"gidnumber", {"70000"}}}, "gidNumber is above 65535"},
        {{{"uidnumber", {"1", "2"}}}, "uidNumber has more than one value"},
        {{{"homedirectory", {}}}, "homeDirectory is missing"},
        {{{"homedirectory", {""}}}, "homeDirectory is empty"},
        {{{"homedirectory", {"/a:b"}}}, "homeDirectory holds a colon or a newline"},
        {{{"uid", {"u:x"}}}, "uid does not hold the name asked for"},
        {{{"loginshell", {"/bin/sh\nx"}}}, "loginShell holds a colon or a newline"},
        {{{"gecos", {"a:b"}}}, "gecos holds a colon or a newline"},
    };
    for (const Case &c : cases) {
        directory::Line l = directory::user_line(user_entry(c.change), "u", PasswordField::crypted);
        EXPECT_FALSE(l.ok) << c.why;
        EXPECT_EQ(l.why, std::string("uid=u,ou=people: ") + c.why);
        EXPECT_EQ(l.text, "");
    }
    for (const char *name : {"bad:colon", "bad\nline", "+plus", "-minus", "a,b"}) {
        directory::Line l =
            directory::user_line(user_entry({{"uid", {name}}}), nullptr, PasswordField::crypted);
        EXPECT_FALSE(l.ok) << name;
        EXPECT_EQ(l.why, "uid=u,ou=people: uid is not a usable name");
    }
}

TEST(EntryLinesTest, SoundEntriesMakeTheLinesTheCallersParse) {
    EXPECT_EQ(directory::user_line(user_entry({}), "u", PasswordField::crypted).text,
              "u:abCRYPTED:1234:100:U Ser:/home/u:/bin/sh");
    EXPECT_EQ(directory::user_line(user_entry({}), "u", PasswordField::placeholder).text,
              "u:x:1234:100:U Ser:/home/u:/bin/sh");
    // No password the library can check is a locked one, never an empty one.
    for (const char *pw : {"{SSHA}abc", "{CRYPT}", "{CRYPT}a:b"})
        EXPECT_EQ(
            directory::user_line(user_entry({{"userpassword", {pw}}}), "u", PasswordField::crypted)
                .text,
            "u:*:1234:100:U Ser:/home/u:/bin/sh");
    EXPECT_EQ(directory::user_line(user_entry({{"userpassword", {}}, {"gecos", {}}}), "u",
                                   PasswordField::crypted)
                  .text,
              "u:*:1234:100::/home/u:/bin/sh");
    // Of several names, the one asked for.
    EXPECT_EQ(
        directory::user_line(user_entry({{"uid", {"other", "u"}}}), "u", PasswordField::placeholder)
            .name,
        "u");
    Entry g{"cn=g", {{"cn", {"g"}}, {"gidnumber", {"0"}}, {"memberuid", {"a", "b"}}}};
    EXPECT_EQ(directory::group_line(g, "g").text, "g:*:0:a,b");
    g.attributes["memberuid"] = {"a", "b,c"};
    EXPECT_FALSE(directory::group_line(g, "g").ok);
}

TEST(EntryLinesTest, FilterValuesCannotWidenASearch) {
    EXPECT_EQ(directory::filter_value("a*b(c)d\\e"), "a\\2ab\\28c\\29d\\5ce");
    EXPECT_EQ(directory::filter_value(std::string("a\0b", 3)), "a\\00b");
}

class SettingsTest : public SandboxTest {
  protected:
    bool read(const std::string &text, directory::Settings &s, std::string &why) {
        box.write("/etc/vant/directory.conf", text);
        return directory::read_settings("/etc/vant/directory.conf", s, why);
    }
};

TEST_F(SettingsTest, EveryValueIsCheckedAndMissingOnesNamed) {
    box.mkdir("/etc/vant");
    directory::Settings s;
    std::string why;
    ASSERT_TRUE(
        read("URI=ldap://h/\nBASE=dc=x\nGROUP_BASE=ou=g\nTIMEOUT=7\nTLS=start\n"
             "TLS_REQCERT=demand\n",
             s, why))
        << why;
    EXPECT_EQ(s.user_base, "dc=x");
    EXPECT_EQ(s.group_base, "ou=g");
    EXPECT_EQ(s.timeout_seconds, 7);
    EXPECT_EQ(s.retry_seconds, 30);
    EXPECT_EQ(s.tls, directory::Tls::start);
    struct Case {
        const char *text, *why;
    } cases[] = {
        {"BASE=dc=x\n", "URI is missing"},
        {"URI=ldap://h/\n", "BASE is missing"},
        {"URI=ldap://h/\nBASE=b\nBINDDN=cn=a\n", "BINDDN is given without SECRET"},
        {"URI=ldap://h/\nBASE=b\nTIMEOUT=0\n", "TIMEOUT is not a number of seconds from 1 to 3600"},
        {"URI=ldap://h/\nBASE=b\nTIMEOUT=2s\n",
         "TIMEOUT is not a number of seconds from 1 to 3600"},
        {"URI=ldap://h/\nBASE=b\nRETRY=3601\n", "RETRY is not a number of seconds from 1 to 3600"},
        {"URI=ldap://h/\nBASE=b\nTLS=yes\n", "TLS is neither no nor start"},
        {"URI=ldap://h/\nBASE=b\nTLS_REQCERT=maybe\n",
         "TLS_REQCERT is not one of never, allow, try, demand, hard"},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(read(c.text, s, why)) << c.text;
        EXPECT_EQ(why, c.why);
    }
}

TEST_F(SettingsTest, TheSecretIsTakenOnlyFromAFileOnlyItsOwnerMayRead) {
    std::string secret, why;
    box.write("/secret", "s3cret\n", 0600);
    ASSERT_TRUE(directory::read_secret("/secret", secret, why)) << why;
    EXPECT_EQ(secret, "s3cret");
    for (mode_t mode : {0640, 0604, 0620}) {
        box.write("/secret", "s3cret\n", mode);
        chmod(box.path("/secret").c_str(), mode);
        EXPECT_FALSE(directory::read_secret("/secret", secret, why)) << mode;
        EXPECT_EQ(why, "/secret may be read or changed by others than its owner");
    }
}

// ---- with a real server ------------------------------------------------------

TEST_F(DirectoryTest, IdMapsAndProtectedPasswordLookupsFindDirectoryUsers) {
    start_directory();
    EXPECT_EQ(pw_nametoid("user0150"), 20150);
    EXPECT_STREQ(pw_idtoname(20299), "user0299");
    EXPECT_EQ(gr_nametoid("group042"), 30042);
    EXPECT_STREQ(gr_idtoname(30060), "group060");
    EXPECT_EQ(pw_nametoid("user0301"), -1);
    EXPECT_EQ(pw_nametoid("alice"), 1000);   // the local file first
    EXPECT_EQ(pw_nametoid("USER0150"), -1);  // the directory's matching ignores case; ours not

    struct pr_passwd *pr = getprpwnam("user0007");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.u_id, 20007);
    EXPECT_STREQ(pr->ufld.u_pwd, crypted(kDirectoryPassword).c_str());
    EXPECT_EQ(pr->ufld.u_type, kGeneralType);
    EXPECT_NE(getprpwnam("alice"), nullptr);
}

TEST_F(DirectoryTest, PlusAndMinusLinesTakeDirectoryUsersInAndOut) {
    start_directory();
    EXPECT_NE(getprpwnam("user0001"), nullptr);
    EXPECT_EQ(getprpwnam("user0002"), nullptr);  // "-user0002" before "+"
    EXPECT_NE(getprpwnam("user0003"), nullptr);
    EXPECT_EQ(std::string(kDefaultPasswd) + "-user0002\n+\n", box.read("/etc/passwd"));
}

TEST_F(DirectoryTest, APlusNameLineTakesInThatUserOnly) {
    passwd_file("+user0005\n");
    start_directory();
    EXPECT_NE(getprpwnam("user0005"), nullptr);
    EXPECT_EQ(getprpwnam("user0006"), nullptr);
    EXPECT_NE(getprpwnam("bob"), nullptr);
}

TEST_F(DirectoryTest, WithoutPlusLinesNoDirectoryUserHasAnEntry) {
    passwd_file("");
    start_directory();
    EXPECT_EQ(getprpwnam("user0005"), nullptr);
    EXPECT_EQ(pw_nametoid("user0005"), 20005);  // the id maps still name the owner
}

TEST_F(DirectoryTest, ADirectoryUsersProtectedEntryFollowsTheNetworkUserRules) {
    start_directory();
    box.mkdir("/tcb/files/auth/u");
    entry("user0009", "u_id#20009:u_pwd=xyOLDPASSWORD");
    struct pr_passwd *pr = getprpwnam("user0009");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, crypted(kDirectoryPassword).c_str());
    EXPECT_FALSE(box.exists(entry_path("user0009")));

    mirroring(true, true);  // an entry of a network user under an integrity requirement
    entry("user0010", "u_id#20010:u_pwd=xyOLDPASSWORD");
    EXPECT_EQ(getprpwnam("user0010"), nullptr);
    EXPECT_TRUE(box.exists(entry_path("user0010")));
}

TEST_F(DirectoryTest, ADirectoryUserLogsInThroughTheLoginServices) {
    start_directory();
    box.mkdir("/home");
    box.mkdir("/home/user0020");
    int nis = 0;
    smp_attempt *a = nullptr;
    char *text = nullptr;
    char user[] = "user0020";
    int retries = 0, delay = 0;
    ASSERT_EQ(smp_check_user(SMP_LOGIN, user, nullptr, 0, &a, &retries, &text, &nis, &delay),
              SMP_CHECK_PW)
        << (text != nullptr ? text : "");
    attempts.push_back(a);  // released when the test ends
    EXPECT_EQ(nis, 1);      // the account is kept by the directory
    EXPECT_EQ(a->pw.pw_uid, 20020u);
    EXPECT_STREQ(a->pw.pw_dir, "/home/user0020");
    std::string wrong = "Not-the-1";
    EXPECT_EQ(smp_check_pw(wrong.data(), a, &text), SMP_BAD_PW);
    std::string right = kDirectoryPassword;
    ASSERT_EQ(smp_check_pw(right.data(), a, &text), SMP_PW_OK);
    if (geteuid() != 0) GTEST_SKIP() << "the identity change needs root";
    ChildResult r = run_child([&] {
        char **env = nullptr, *shell = nullptr;
        int result = smp_set_identity(a, &text, &env, &shell);
        char cwd[256] = "";
        printf("%d %d %s %s", result, static_cast<int>(getuid()), getcwd(cwd, sizeof cwd), shell);
    });
    EXPECT_EQ(r.out, "0 20020 " + box.path("/home/user0020") + " /bin/sh") << r.err;
    EXPECT_FALSE(box.exists("/tcb/files/auth/u/user0020"));  // nothing written for it
}

TEST_F(DirectoryTest, APasswordChangeReachesTheDirectoryAndTheNextLoginUsesIt) {
    start_directory();
    box.write("/bin/passwd", "");
    ASSERT_EQ(link(box.path("/bin/passwd").c_str(), box.path("/bin/yppasswd").c_str()), 0);
    box.mkdir("/etc/yp");
    ASSERT_EQ(symlink(VANT_YPPWD_PROGRAM, box.path("/etc/yp/yppwd").c_str()), 0);
    auto login = [&](const char *password) {
        Check c = check("user0030", nullptr);
        std::string p = password;
        char *text = nullptr;
        return c.result == SMP_CHECK_PW ? smp_check_pw(p.data(), c.attempt, &text) : c.result;
    };
    int nis = 0, retries = 0;
    smp_attempt *a = nullptr;
    char *text = nullptr;
    char user[] = "user0030";
    ASSERT_EQ(smp_check_user(SMP_PASSWD, user, nullptr, 20030, &a, &retries, &text, &nis, nullptr),
              SMP_CHECK_PW);
    attempts.push_back(a);  // released when the test ends
    std::string old_password = kDirectoryPassword, fresh = "New-pass-77", again = fresh;
    ASSERT_EQ(smp_check_pw(old_password.data(), a, &text), SMP_PW_OK);
    ASSERT_EQ(smp_set_pw(fresh.data(), again.data(), a, &retries, &text), SMP_DONE)
        << (text != nullptr ? text : "");
    EXPECT_EQ(login("New-pass-77"), SMP_PW_OK);
    EXPECT_EQ(login(kDirectoryPassword), SMP_BAD_PW);
    EXPECT_FALSE(box.exists("/tcb/files/auth/u/user0030"));

    server.stop();  // a directory that is gone takes no change
    std::string request = "1\n\nabcdefghijklm\n";
    std::string command = "echo '" + request + "' | VANT_ROOT=" + box.root() + " " +
                          VANT_YPPWD_PROGRAM + " user0030 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 1);
    command = std::string("printf 'x\\n' | VANT_ROOT=") + box.root() + " " + VANT_YPPWD_PROGRAM +
              " user0030 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(system(command.c_str())), 2);
}

// How long a lookup took, in seconds.
template <typename F>
double timed(F f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(DirectoryTest, AServerStoppedMidRunGivesTheNoDirectoryAnswerAtOnce) {
    start_directory();
    ASSERT_EQ(pw_nametoid("user0040"), 20040);
    server.stop();
    double seconds = timed([] {
        EXPECT_EQ(pw_nametoid("user0041"), -1);
        EXPECT_EQ(getprpwnam("user0042"), nullptr);
    });
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(pw_nametoid("alice"), 1000);
    EXPECT_NE(getprpwnam("alice"), nullptr);
    EXPECT_TRUE(audit_mentions("directory server unreachable"));
    EXPECT_TRUE(audited("user0042"));
}

TEST_F(DirectoryTest, AServerThatNeverAnswersIsGivenUpWithinTheTimeOut) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof addr;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(s, 16), 0);  // connections are taken in, never answered
    getsockname(s, reinterpret_cast<sockaddr *>(&addr), &n);
    settings("ldap://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
    Check c{};
    double first = timed([&] { c = check("user0050", nullptr); });
    EXPECT_EQ(c.result, SMP_NO_USER);
    EXPECT_LT(first, 4.0);  // connect, then one bind of one second
    EXPECT_GT(first, 0.9);
    double later = timed([&] { EXPECT_EQ(pw_nametoid("user0051"), -1); });
    EXPECT_LT(later, 0.5);  // left alone until RETRY has passed
    EXPECT_EQ(check("alice", nullptr).result, SMP_CHECK_PW);
    EXPECT_TRUE(audit_mentions("no answer in time"));
    EXPECT_TRUE(audited("directory user not resolved: server unavailable"));
    close(s);
}

TEST_F(DirectoryTest, UnsoundEntriesAreRefusedAndAudited) {
    start_directory(kMalformedUsers);
    for (const char *name : {"badnum", "bigid", "nohome", "bad:colon"}) {
        EXPECT_EQ(pw_nametoid(name), -1) << name;
        EXPECT_EQ(getprpwnam(name), nullptr) << name;
    }
    EXPECT_TRUE(
        audit_mentions("uid=badnum,ou=people,dc=example,dc=org: uidNumber is not a number"));
    EXPECT_TRUE(audit_mentions("uid=bigid,ou=people,dc=example,dc=org: uidNumber is above 65535"));
    EXPECT_TRUE(audit_mentions("uid=nohome,ou=people,dc=example,dc=org: homeDirectory is missing"));
    EXPECT_TRUE(audit_mentions("cn=colon,ou=people,dc=example,dc=org: uid is not a usable name"));
    EXPECT_EQ(pw_idtoname(21002), nullptr);  // "bad\nline"
    EXPECT_TRUE(audit_mentions("cn=newline,ou=people,dc=example,dc=org: uid is not a usable name"));
}

TEST_F(DirectoryTest, TheWholeDirectoryIsEnumeratedThroughThePasswordStream) {
    start_directory(kMalformedUsers);
    platform::nis_reqtype(platform::kNisPasswdStream, 1, nullptr);
    platform::nis_rewind(platform::kNisPasswdStream);
    platform::nis_escape(platform::kNisPasswdStream, "-user0100\n");
    EXPECT_EQ(platform::nis_getline(platform::kNisPasswdStream), nullptr);
    platform::nis_escape(platform::kNisPasswdStream, "+\n");
    int lines = 0;
    bool skipped = true;
    while (const char *line = platform::nis_getline(platform::kNisPasswdStream)) {
        ++lines;
        EXPECT_STRNE(line, "");
        EXPECT_EQ(std::string(line).find("user0100:"), std::string::npos);
        skipped = skipped && platform::nis_control(platform::kNisPasswdStream, 4) != 0;
    }
    EXPECT_EQ(lines, kDirectoryUsers - 1);  // beyond the server's 500-entry answers too
    EXPECT_TRUE(skipped);                   // none of them is ever kept in a file
    EXPECT_EQ(platform::nis_control(platform::kNisPasswdStream, 4), 0);
    EXPECT_TRUE(audit_mentions("uidNumber is not a number"));
}

}  // namespace
}  // namespace vant::test
