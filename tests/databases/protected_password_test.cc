// The Protected Password database: which view of a user a lookup answers
// with, the fixed rules, what the writer adds to a mirrored record, and
// writers at work together.
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "databases/databases_fixture.h"
#include "support/nis_fake.h"

namespace vant::test {
namespace {

using Names = std::vector<std::string>;
using ProtectedPasswordTest = DatabasesTest;

constexpr const char *kLong = "abcdefghijklmnopqrstuvwx";  // 24 characters
constexpr const char *kP = "protectedpw12", *kE = "etcpassword1";

// Rows of: mirroring (- none, i integrity, p protected wins, e etc wins);
// override mode (n none, i no integrity, e etc files, p protected only);
// alice's entry (+/-); her lines (- none, same/other password, old: an
// old-style passwd line keeping the password); the answer's password (P, E,
// "" none, - not found); the fixed rules applied (+/-).
constexpr const char *kLookups =
    "- n + - P -  - n + other P -  - n - same - -  i n + same P +  i n + other - -  i n + - - - "
    "i n - other - -  i i + - P +  i i + other P +  i i - other \"\" +  i e + other E - "
    "i e - other E -  i e + - - -  i p + - P -  i p + other P -  i p - other - - "
    "p n + - P +  p n + other P +  p n + old P -  p n - other - -  e n + other E + "
    "e n + same P +  e n + - - -  e n - other E +";
// Replaces alice's line of a passwd or shadow text.
void alice_line(std::string &text, const std::string &line) {
    size_t at = text.find("alice:");
    text.replace(at, text.find("bob:") - at, line);
}

TEST_F(ProtectedPasswordTest, TheLookupAnswersWithTheViewTheSettingsChoose) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    box.remove(kSystemDefault);
    EXPECT_EQ(getprpwnam("alice"), nullptr);
    EXPECT_EQ(audited(), (std::vector<std::vector<std::string>>{
                             {"18", "System Defaults database", "cannot be read"}}));
    std::istringstream rows(kLookups);
    for (std::string m, mode, has, lines, answer, typed;
         rows >> m >> mode >> has >> lines >> answer >> typed;) {
        SCOPED_TRACE(m + mode + has + lines + answer + typed);
        defaults(std::string("u_maxlen#8") + (m == "i"   ? ":u_integrity"
                                              : m == "p" ? ":u_integrity@"
                                              : m == "e" ? ":u_integrity@:u_tcbpw@"
                                                         : ""));
        box.remove(prpw_path("alice"));
        if (has == "+") entry("alice", "u_id#1000:u_pwd=protectedpw12:u_lock@");
        std::string passwd = kDefaultPasswd, shadow = kShadow;
        // No aging fields: under integrity they would differ from the entry's.
        alice_line(shadow, lines == "-"
                               ? ""
                               : std::string("alice:") + (lines == "same" ? kP : kE) + ":::::::\n");
        if (lines == "-") alice_line(passwd, "");
        if (lines == "old") alice_line(passwd, "alice:*:1000:100::/home/alice:/bin/sh\n");
        box.write("/etc/passwd", passwd);
        box.write("/etc/shadow", shadow, 0640);
        set_override_mode(std::string("niep").find(mode[0]));
        struct pr_passwd *pr = getprpwnam("alice");
        set_override_mode(OVERRIDE_NONE);
        ASSERT_EQ(pr != nullptr, answer != "-");
        if (pr == nullptr) continue;
        EXPECT_STREQ(pr->ufld.u_name, "alice");
        EXPECT_EQ(std::string(pr->ufld.u_pwd), answer == "P" ? kP : answer == "E" ? kE : "");
        EXPECT_EQ(PR_ISSET(pr->uflg, PR_U_TYPE), typed == "+");
    }
}

TEST_F(ProtectedPasswordTest, TheFixedRulesGiveTheSuperuserEverythingAndRetiredUsersNoPassword) {
    mirroring(false, true);
    entry("root", "u_id#0:u_pwd=$1$rootpw:u_syspriv=execsuid");
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz:u_type=retired");
    struct pr_passwd *pr = getprpwnam("root");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.u_type, kRootType);
    EXPECT_EQ(pr->ufld.u_syspriv, 0xFFu);
    EXPECT_EQ(pr->ufld.u_cmdpriv, 0xFu);  // the four declared
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SYSPRIV) && PR_ISSET(pr->uflg, PR_U_CMDPRIV));
    ASSERT_NE(pr = getprpwnam("bob"), nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "*");

    // The superuser is written with everything too.
    struct pr_passwd r = user_record("root", 0, "$1$rootpw"), before;
    r.ufld.u_type = kGeneralType;
    PR_SET(r.uflg, PR_U_TYPE);
    before = r;
    ASSERT_EQ(putprpwnam("root", &r), 1);
    EXPECT_EQ(memcmp(&before, &r, sizeof before), 0) << "the caller's record is not changed";
    std::string text = box.read(prpw_path("root"));
    EXPECT_NE(text.find("u_type=root:"), std::string::npos) << text;
    EXPECT_NE(text.find("u_cmdpriv=audit,audittrail,auth,su"), std::string::npos) << text;
}

TEST_F(ProtectedPasswordTest, APasswordCutToItsSegmentsIsWrittenBackWhole) {
    mirroring(false, true, "u_pwseg#1");
    box.write("/etc/shadow", std::string("alice:") + std::string(kLong, 13) + ":19000::::::\n");
    entry("alice", std::string("u_id#1000:u_pwd=") + kLong);
    struct pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(std::string(pr->ufld.u_pwd), std::string(kLong, 13));
    EXPECT_STREQ(pr->ufld.u_savedpwd, kLong);
    struct pr_passwd copy = *pr;
    ASSERT_EQ(putprpwnam("alice", &copy), 1);
    EXPECT_NE(box.read(prpw_path("alice")).find(std::string("u_pwd=") + kLong + ":"),
              std::string::npos);
    EXPECT_EQ(shadow_password("alice"), std::string(kLong, 13));
}

TEST_F(ProtectedPasswordTest, AMirroredNewUserGetsLinesAndAuthorizationsOthersKeepTheirs) {
    mirroring(false, true);
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    std::string passwd = box.read("/etc/passwd");
    struct pr_passwd carol = user_record("carol", 1002, "carolpassword");
    ASSERT_EQ(putprpwnam("carol", &carol), 1);
    // The new line has no group yet, so the C library's reader passes over it.
    EXPECT_EQ(box.read("/etc/passwd"), passwd + "carol:x:1002::::\n");
    EXPECT_EQ(passwd_users(), (Names{"root", "daemon", "auth", "alice", "bob"}));
    EXPECT_EQ(shadow_password("carol"), "carolpassword");
    EXPECT_EQ(box.read(kDefaultUsers), "carol\n");

    struct pr_passwd cathy = user_record("cathy", 1003, "cathypassword");
    cathy.ufld.u_cmdpriv = 1u << 2;  // auth
    PR_SET(cathy.uflg, PR_U_CMDPRIV);
    ASSERT_EQ(putprpwnam("cathy", &cathy), 1);
    EXPECT_EQ(box.read(kAuthGrants), "cathy:auth\n");

    // Replacing alice changes only her line; she is no new user.
    struct pr_passwd alice = user_record("alice", 1000, "newpassword12");
    ASSERT_EQ(putprpwnam("alice", &alice), 1);
    auto users = shadow_users();
    ASSERT_EQ(users.size(), 7u);
    EXPECT_EQ(users[3], (std::pair<std::string, std::string>{"alice", "newpassword12"}));
    EXPECT_EQ(users[4].second, "nopqrstuvwxyz");
    EXPECT_EQ(box.read(kDefaultUsers), "carol\n");
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(ProtectedPasswordTest, ARecordWithoutNameRemovesTheUserEverywhereUnlessOnlyProtected) {
    mirroring(true, true);
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    struct pr_passwd clear {};
    set_write_mode(WRITE_PROTECTED_ONLY);
    Sandbox::Stamp shadow = box.stamp("/etc/shadow"), passwd = box.stamp("/etc/passwd");
    ASSERT_EQ(putprpwnam("bob", &clear), 1);
    EXPECT_FALSE(box.exists(prpw_path("bob")));
    EXPECT_EQ(box.stamp("/etc/shadow"), shadow);
    EXPECT_EQ(box.stamp("/etc/passwd"), passwd);
    set_write_mode(WRITE_MIRROR);
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    ASSERT_EQ(putprpwnam("bob", &clear), 1);
    EXPECT_FALSE(box.exists(prpw_path("bob")));
    EXPECT_TRUE(box.exists("/tcb/files/auth/b"));
    EXPECT_EQ(passwd_users(), (Names{"root", "daemon", "auth", "alice"}));
    EXPECT_EQ(shadow_password("bob"), "<none>");
    EXPECT_EQ(shadow_password("alice"), "abcdefghijklm");
    EXPECT_EQ(putprpwnam("bob", nullptr), 0);
    EXPECT_EQ(putprpwnam(nullptr, &clear), 0);
}

// The files lead where the letter directory is missing, else the put fails;
// names that would break out of the database are refused.
TEST_F(ProtectedPasswordTest, AMissingLetterDirectoryOrABadNameStopsThePut) {
    struct Row {
        const char *mirroring, *name;
        int result;
        bool lines;  // the files got zed's lines
    };
    const char *kEtc = "u_integrity@:u_tcbpw@", *kProt = "u_integrity@";
    for (const Row &row : {Row{kEtc, "zed", 1, true}, Row{kProt, "zed", 0, false},
                           Row{"u_maxlen#8", "zed", 0, false}, Row{kProt, "a\nroot", 0, false},
                           Row{kProt, "../x", 0, false}, Row{kProt, "a:b", 0, false}}) {
        SCOPED_TRACE(std::string(row.mirroring) + " " + row.name);
        defaults(row.mirroring);
        std::string shadow = box.read("/etc/shadow"), passwd = box.read("/etc/passwd");
        struct pr_passwd r = user_record("zed", 1003, "zedpassword12");
        EXPECT_EQ(putprpwnam(row.name, &r), row.result);
        EXPECT_FALSE(box.exists("/tcb/files/auth/z"));
        EXPECT_EQ(box.read("/etc/shadow") != shadow, row.lines);
        EXPECT_EQ(box.read("/etc/passwd") != passwd, row.lines);
        if (row.name[0] == 'z') {
            EXPECT_EQ(audited("zed", 14), row.result == 0);
        }
    }
}

// Writers at work together under integrity, each on its own user, then all
// on alice, without retrying: every update lands, both sides agree, and the
// conventional files keep one line per user.
TEST_F(ProtectedPasswordTest, ConcurrentWritersLandAndLeaveBothSidesAgreeing) {
    constexpr int kWriters = 6;
    mirroring(true, true);
    std::string passwd = kDefaultPasswd, shadow = kShadow;
    for (int i = 0; i < kWriters; ++i) {
        std::string user = "user" + std::to_string(i), id = std::to_string(2000 + i);
        passwd += user + ":x:" + id + ":100::/home/" + user + ":/bin/sh\n";
        shadow += user + ":oldpassword00:19000:0:99999:7:::\n";
        entry(user, "u_id#" + id + ":u_pwd=oldpassword00");
    }
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    box.write("/etc/passwd", passwd);
    box.write("/etc/shadow", shadow, 0640);
    auto put = [](const std::string &name, int id, int i) {
        std::string password = "password" + std::to_string(10000 + i);
        struct pr_passwd r = user_record(name.c_str(), id, password);
        return putprpwnam(name.c_str(), &r);
    };
    for (bool own : {true, false}) {
        std::vector<pid_t> pids;
        for (int i = 0; i < kWriters; ++i)
            if (pid_t pid = fork(); pid != 0) {
                pids.push_back(pid);
            } else {
                _exit(own ? put("user" + std::to_string(i), 2000 + i, i) : put("alice", 1000, i));
            }
        for (pid_t pid : pids) {
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "an update failed";
        }
    }
    auto entry_password = [this](const std::string &name) {
        std::string text = box.read(prpw_path(name));
        size_t at = text.find("u_pwd=") + 6;
        return text.substr(at, text.find(':', at) - at);
    };
    for (int i = 0; i < kWriters; ++i) {
        std::string user = "user" + std::to_string(i);
        EXPECT_EQ(entry_password(user), "password" + std::to_string(10000 + i));
        EXPECT_EQ(shadow_password(user), entry_password(user));
    }
    EXPECT_EQ(shadow_password("alice"), entry_password("alice"));
    EXPECT_EQ(box.read("/etc/passwd"), passwd);
    std::vector<std::string> names;
    for (const auto &[n, p] : shadow_users())
        names.push_back(n);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << "a duplicated line";
    shadow = box.read("/etc/shadow");
    EXPECT_EQ(std::count(shadow.begin(), shadow.end(), '\n'), 5 + kWriters);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

// A pass runs over the password file: each user with lines and an entry,
// and a lookup in the middle of it starts it again.
TEST_F(ProtectedPasswordTest, EnumerationFollowsThePasswordFileEachUserWithOwnLines) {
    mirroring(false, true);
    box.write("/etc/passwd", std::string(kDefaultPasswd) + "carol:x:1002:100::/:/bin/sh\n");
    std::string shadow;
    for (auto [user, id] : {std::pair{"alice", 1000}, {"bob", 1001}, {"carol", 1002}}) {
        shadow += user + std::string(":") + user + "password1:19000::::::\n";
        entry(user, "u_id#" + std::to_string(id) + ":u_pwd=" + user + "password1");
    }
    box.write("/etc/shadow", shadow);
    Names seen;
    ASSERT_EQ(setprpwent(), 0);
    while (struct pr_passwd *pr = getprpwent()) {
        seen.push_back(std::string(pr->ufld.u_name) + "=" + pr->ufld.u_pwd);
        EXPECT_TRUE(seen.size() > 1 || getprpwnam("bob") != nullptr);
    }
    EXPECT_EQ(seen, (Names{"alice=alicepassword1", "alice=alicepassword1", "bob=bobpassword1",
                           "carol=carolpassword1"}));
    box.remove("/etc/passwd");
    set_override_mode(OVERRIDE_ETC_FILES);
    EXPECT_EQ(setprpwent(), -1) << "no pass can start that the files must answer";
}

// A user of the network's password file: the line wins, and an entry of
// theirs is removed under integrity, or refused.
TEST_F(ProtectedPasswordTest, ANisUsersLineWinsAndTheirEntryIsRemovedOrRefused) {
    nis().enabled = {3};
    nis().stream = {"nisuser:xyNISPASSWORD:4242:100::/:/bin/sh"};
    for (bool integrity : {true, false}) {
        mirroring(integrity, true);
        box.remove(prpw_path("nisuser"));
        struct pr_passwd *pr = getprpwnam("nisuser");
        ASSERT_NE(pr, nullptr);
        EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
        entry("nisuser", "u_id#4242:u_pwd=xyOLDPASSWORD");
        EXPECT_EQ(getprpwnam("nisuser") != nullptr, !integrity) << integrity;
        EXPECT_EQ(box.exists(prpw_path("nisuser")), integrity) << integrity;
    }
}

}  // namespace
}  // namespace vant::test
