// Users and groups from a real directory server, through the provider the
// site's settings name, and what an absent, silent or unsound one gives.
#include <arpa/inet.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "directory/connection.h"
#include "directory/entry_lines.h"
#include "directory/settings.h"
#include "directory/slapd_server.h"
#include "login/login_fixture.h"
#include "platform/nis.h"
#include "support/child.h"

namespace vant::test {
namespace {

using directory::PasswordField;
using Values = std::map<std::string, std::vector<std::string>>;

// The line of a sound user entry with `changes` made (no values: none of
// that attribute), or why there is none.
directory::Line line_of(const Values &changes, PasswordField field = PasswordField::crypted,
                        const char *name = "u") {
    directory::Entry e{"uid=u,ou=people", changes};
    for (std::string a : {"uid=u", "uidnumber=1234", "gidnumber=100", "gecos=U Ser",
                          "homedirectory=/home/u", "loginshell=/bin/sh", "userpassword={crypt}abC"})
        e.attributes.emplace(a.substr(0, a.find('=')),
                             Values::mapped_type{a.substr(a.find('=') + 1)});
    return directory::user_line(e, name, field);
}

TEST(EntryLinesTest, EntriesMakeTheLinesTheCallersParseOrAreRefusedWithTheReason) {
    const std::string rest = ":1234:100:U Ser:/home/u:/bin/sh";
    const std::pair<Values, std::string> cases[] = {
        {{}, "u:abC" + rest},
        {{{"uid", {"other", "u"}}}, "u:abC" + rest},      // of several names, the one asked for
        {{{"userpassword", {"{CRYPT}"}}}, "u:*" + rest},  // not checkable: locked, not empty
        {{{"userpassword", {"{CRYPT}a:b"}}}, "u:*" + rest},
        {{{"userpassword", {}}, {"gecos", {}}}, "u:*:1234:100::/home/u:/bin/sh"},
        {{{"uidnumber", {"12x"}}}, "uidNumber is not a number"},
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
    for (const auto &[change, expected] : cases) {
        directory::Line l = line_of(change);
        EXPECT_EQ(l.ok ? l.text : l.why, (l.ok ? "" : "uid=u,ou=people: ") + expected);
        EXPECT_TRUE(l.ok || l.text.empty()) << l.text;
    }
    EXPECT_EQ(line_of({}, PasswordField::placeholder).text, "u:x" + rest);
    for (const char *name : {"bad:colon", "bad\nline", "+plus", "-minus", "a,b"})
        EXPECT_EQ(line_of({{"uid", {name}}}, PasswordField::crypted, nullptr).why,
                  "uid=u,ou=people: uid is not a usable name");
    directory::Entry g{"cn=g", {{"cn", {"g"}}, {"gidnumber", {"0"}}, {"memberuid", {"a", "b"}}}};
    EXPECT_EQ(directory::group_line(g, "g").text, "g:*:0:a,b");
    g.attributes["memberuid"] = {"a", "b,c"};
    EXPECT_FALSE(directory::group_line(g, "g").ok);
    // Filter values cannot widen a search.
    EXPECT_EQ(directory::filter_value("a*b(c)d\\e"), "a\\2ab\\28c\\29d\\5ce");
    EXPECT_EQ(directory::filter_value(std::string("a\0b", 3)), "a\\00b");
}

class SettingsTest : public SandboxTest {};

TEST_F(SettingsTest, EveryValueIsCheckedAndMissingOnesNamed) {
    box.mkdir("/etc/vant");
    directory::Settings s;
    std::string why;
    auto read = [&](const std::string &text) {
        box.write("/etc/vant/directory.conf", text);
        return directory::read_settings("/etc/vant/directory.conf", s, why);
    };
    ASSERT_TRUE(read("URI=ldap://h/\nBASE=dc=x\nGROUP_BASE=ou=g\nTLS=start\n")) << why;
    EXPECT_EQ(s.group_base + " " + std::to_string(s.retry_seconds), "ou=g 30");
    EXPECT_EQ(s.tls, directory::Tls::start);
    const std::string seconds = " is not a number of seconds from 1 to 3600";
    const std::pair<const char *, std::string> cases[] = {
        {"BASE=dc=x\n", "URI is missing"},
        {"URI=ldap://h/\nBASE=b\nBINDDN=cn=a\n", "BINDDN is given without SECRET"},
        {"URI=ldap://h/\nBASE=b\nTIMEOUT=0\n", "TIMEOUT" + seconds},
        {"URI=ldap://h/\nBASE=b\nRETRY=3601\n", "RETRY" + seconds},
        {"URI=ldap://h/\nBASE=b\nTLS=yes\n", "TLS is neither no nor start"},
        {"URI=ldap://h/\nBASE=b\nTLS_REQCERT=maybe\n",
         "TLS_REQCERT is not one of never, allow, try, demand, hard"},
    };
    for (const auto &[text, refusal] : cases)
        EXPECT_TRUE(!read(text) && why == refusal) << text << why;
    // The secret is taken only from a file only its owner may read.
    std::string secret;
    box.write("/secret", "s3cret\n", 0600);
    EXPECT_TRUE(directory::read_secret("/secret", secret, why) && secret == "s3cret") << why;
    for (mode_t mode : {0640, 0604, 0620}) {
        chmod(box.path("/secret").c_str(), mode);
        EXPECT_TRUE(!directory::read_secret("/secret", secret, why) &&
                    why == "/secret may be read or changed by others than its owner")
            << mode << why;
    }
}

constexpr const char *kDirectoryPassword = "Dir-pass-1";
constexpr int kDirectoryUsers = 300;

// Users partly from slapd, through the provider built here; /etc/passwd
// takes in all directory users but user0002.
class DirectoryTest : public LoginTest {
  protected:
    static constexpr const char *kProvider = "/usr/lib/vant/libvant-directory.so";
    SlapdServer server;

    void SetUp() override {
        LoginTest::SetUp();
        mirroring(false, true);
        box.write("/etc/passwd", std::string(kDefaultPasswd) + "-user0002\n+\n");
        for (const char *dir : {"/usr", "/usr/lib", "/usr/lib/vant", "/etc/vant", "/etc/yp",
                                "/home", "/home/user0020"})
            box.mkdir(dir);
        ASSERT_EQ(symlink(VANT_DIRECTORY_PROVIDER, box.path(kProvider).c_str()), 0);
        box.write("/etc/vant/directory.secret", std::string(kDirectorySecret) + "\n", 0600);
        alice();
    }
    void settings(const std::string &uri) const {
        box.write("/etc/vant/directory.conf",
                  "PROVIDER=" + std::string(kProvider) + "\nURI=" + uri +
                      "\nBASE=" + kDirectorySuffix + "\nBINDDN=" + kDirectoryAdmin +
                      "\nSECRET=/etc/vant/directory.secret\nTIMEOUT=1\nRETRY=60\n");
    }
};

// How long something took, in seconds.
double timed(const std::function<void()> &f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One server through a session: lookups, a login, a password change, entries
// refused, the whole directory streamed; then it stops.
TEST_F(DirectoryTest, ADirectoryServesLookupsLoginsAndPasswordChangesUntilItStops) {
    std::string why, crypted = bigcrypt(kDirectoryPassword, "ab");
    ASSERT_TRUE(
        server.start(directory_ldif(kDirectoryUsers, 60, crypted),
                     "dn: cn=newline,ou=people,dc=example,dc=org\nobjectClass: posixAccount\n"
                     "uid:: YmFkCmxpbmU=\ncn: x\nuidNumber: 21002\ngidNumber: 100\n"
                     "homeDirectory: /x\n",  // the uid "bad\nline", in base64
                     why))
        << why;
    settings(server.uri());
    EXPECT_EQ(pw_nametoid("user0150"), 20150);
    EXPECT_EQ(gr_nametoid("group042"), 30042);
    EXPECT_STREQ(gr_idtoname(30060), "group060");
    EXPECT_EQ(pw_nametoid("USER0150"), -1);  // the directory's matching ignores case; ours not
    struct pr_passwd *pr = getprpwnam("user0007");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.u_id, 20007);
    EXPECT_STREQ(pr->ufld.u_pwd, bigcrypt(kDirectoryPassword, "ab"));
    EXPECT_EQ(pr->ufld.u_type, kGeneralType);
    EXPECT_EQ(getprpwnam("user0002"), nullptr);  // "-user0002" before "+"
    EXPECT_EQ(pw_idtoname(21002), nullptr);
    EXPECT_TRUE(audited("cn=newline,ou=people,dc=example,dc=org: uid is not a usable name"));

    // As the programs ask: wanting to know whether the directory keeps it.
    int nis = 0, retries = 0;
    char *text = nullptr;
    auto begin = [&](int request, std::string user, uid_t subject) {
        smp_attempt *a = nullptr;
        EXPECT_EQ(smp_check_user(request, user.data(), nullptr, subject, &a, &retries, &text, &nis,
                                 nullptr),
                  SMP_CHECK_PW);
        attempts.push_back(a);  // released when the test ends
        EXPECT_EQ(nis, 1);
        return a;
    };
    box.write("/bin/passwd", "");
    ASSERT_EQ(link(box.path("/bin/passwd").c_str(), box.path("/bin/yppasswd").c_str()), 0);
    ASSERT_EQ(symlink(VANT_YPPWD_PROGRAM, box.path("/etc/yp/yppwd").c_str()), 0);
    smp_attempt *a = begin(SMP_PASSWD, "user0030", 20030);
    ASSERT_NE(a, nullptr);
    std::string right = kDirectoryPassword, fresh = "New-pass-77", again = fresh;
    ASSERT_EQ(smp_check_pw(right.data(), a, &text), SMP_PW_OK);
    ASSERT_EQ(smp_set_pw(fresh.data(), again.data(), a, &retries, &text), SMP_DONE)
        << (text != nullptr ? text : "");
    EXPECT_EQ(attempt("user0030", nullptr, "New-pass-77"), SMP_PW_OK);  // `fresh` is wiped
    EXPECT_FALSE(box.exists("/tcb/files/auth/u/user0030"));  // nothing written for directory users
    EXPECT_EQ(attempt("user0030", nullptr, kDirectoryPassword), SMP_BAD_PW);

    ASSERT_NE(a = begin(SMP_LOGIN, "user0020", 0), nullptr);
    EXPECT_STREQ(a->pw.pw_dir, "/home/user0020");
    ASSERT_EQ(smp_check_pw(right.data(), a, &text), SMP_PW_OK);
    ChildResult r = run_child([&] {
        char **env = nullptr, *shell = nullptr, cwd[256] = "";
        int result = smp_set_identity(a, &text, &env, &shell);
        printf("%d %d %s %s", result, static_cast<int>(getuid()), getcwd(cwd, sizeof cwd), shell);
    });
    std::string expected = "0 20020 " + box.path("/home/user0020") + " /bin/sh";
    EXPECT_TRUE(geteuid() != 0 || r.out == expected) << r.out << r.err;  // root changes identity

    // Streamed whole but for the "-" lines, and never to be kept in a file.
    const int stream = platform::kNisPasswdStream;
    platform::nis_reqtype(stream, 1, nullptr);
    platform::nis_rewind(stream);
    platform::nis_escape(stream, "-user0002\n");
    platform::nis_escape(stream, "+\n");
    int lines = 0;
    bool kept = false;
    for (const char *line; (line = platform::nis_getline(stream)) != nullptr; ++lines) {
        EXPECT_NE(std::string(line).rfind("user0002:", 0), 0u);
        kept = kept || platform::nis_control(stream, 4) == 0;
    }
    EXPECT_EQ(lines, kDirectoryUsers - 1);
    EXPECT_FALSE(kept);

    server.stop();  // a directory that is gone answers at once and takes no change
    double seconds = timed([] {
        EXPECT_EQ(pw_nametoid("user0041"), -1);
        EXPECT_EQ(getprpwnam("user0042"), nullptr);
    });
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(pw_nametoid("alice"), 1000);
    EXPECT_NE(getprpwnam("alice"), nullptr);
    EXPECT_TRUE(audited("directory server unreachable: Can't contact LDAP server"));
    EXPECT_TRUE(audited("user0042"));
    std::string yppwd = std::string(" | VANT_ROOT=") + box.root() + " " + VANT_YPPWD_PROGRAM +
                        " user0030 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(system(("echo '1\n\nabcdefghijklm\n'" + yppwd).c_str())), 1);
    EXPECT_EQ(WEXITSTATUS(system(("printf 'x\\n'" + yppwd).c_str())), 2);
}

TEST_F(DirectoryTest, AServerThatNeverAnswersIsGivenUpWithinTheTimeOut) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t n = sizeof addr;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), n), 0);
    ASSERT_EQ(listen(s, 16), 0);  // connections are taken in, never answered
    getsockname(s, reinterpret_cast<sockaddr *>(&addr), &n);
    settings("ldap://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/");
    double first = timed([&] { EXPECT_EQ(check("user0050", nullptr).result, SMP_NO_USER); });
    EXPECT_LT(first, 4.0);  // connect, then one bind of one second
    EXPECT_GT(first, 0.9);
    double later = timed([&] { EXPECT_EQ(pw_nametoid("user0051"), -1); });
    EXPECT_LT(later, 0.5);  // left alone until RETRY has passed
    EXPECT_EQ(check("alice", nullptr).result, SMP_CHECK_PW);
    EXPECT_TRUE(audited("directory server unreachable: no answer in time"));
    EXPECT_TRUE(audited("directory user not resolved: server unavailable"));
}

}  // namespace
}  // namespace vant::test
