// vant-db run as an administrator runs it, on a root made by its own init:
// every settable field round trips through set, show and --json; bad input
// changes no file; check finds a hand-edited /etc/shadow line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/child.h"
#include "tools/json_reader.h"

namespace vant::test {
namespace {

namespace fs = std::filesystem;

class VantDbTest : public ::testing::Test {
  protected:
    std::string root;

    void SetUp() override {
        char templ[] = "/tmp/vant-db-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        setenv("VANT_ROOT", root.c_str(), 1);
        ASSERT_EQ(run({"init", root}).exit_status, 0);
    }
    void TearDown() override { fs::remove_all(root); }

    static ChildResult run(std::vector<std::string> args) {
        return run_child([&] {
            std::vector<char *> argv{const_cast<char *>(VANT_DB_PROGRAM)};
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VANT_DB_PROGRAM, argv.data());
            _exit(127);
        });
    }
    static Json json(std::vector<std::string> args) {
        args.insert(args.begin(), "--json");
        ChildResult r = run(args);
        EXPECT_EQ(r.exit_status, 0) << r.err;
        return parse_json(r.out);
    }
    std::string read(const std::string &logical) const {
        std::ostringstream text;
        text << std::ifstream(root + logical).rdbuf();
        return text.str();
    }
    // Every file of the root and its content, but the name indexes: a
    // lookup may build them whenever their source is old enough to trust.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto &e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.path().string().ends_with("_name_index"))
                files[e.path().string()] = read(e.path().string().substr(root.size()));
        return files;
    }
};

// The strings of an array, or a value as text: "true", a whole number, or
// "[a,b]".
std::vector<std::string> names(const Json &array) {
    std::vector<std::string> all;
    for (const Json &j : array.items)
        all.push_back(j.s);
    return all;
}
std::string as_text(const Json &v) {
    if (v.type == Json::boolean) return v.b ? "true" : "false";
    if (v.type == Json::number) return std::to_string(static_cast<long long>(v.n));
    if (v.type != Json::array) return v.s;
    std::string all;
    for (const std::string &n : names(v))
        all += (all.empty() ? "" : ",") + n;
    return "[" + all + "]";
}

TEST_F(VantDbTest, TheSampleRootAgreesWithItsMirrorAndListsItsEntries) {
    ChildResult r = run({"check"});
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_EQ(names(json({"list", "users"})),
              (std::vector<std::string>{"root", "alice", "carol", "sam"}));
    EXPECT_EQ(names(json({"list", "terminals"})).size(), 4u);
    Json alice = json({"show", "user", "alice"});
    EXPECT_EQ(alice["u_maxtries"]["value"].n, 3);
    EXPECT_TRUE(alice["u_maxtries"]["default"].b);
    EXPECT_FALSE(alice["u_id"]["default"].b);
    EXPECT_EQ(names(json({"show", "user", "sam"})["authorizations"]["value"]),
              (std::vector<std::string>{"auth"}));
}

// "field=value;" as set; --json gives the value back, or what follows ">".
constexpr const char *kUserFields =
    "u_id=1000;u_pwd=abCDefGHijKLm;u_type=general,admin>[admin,general];u_owner=sam;"
    "u_priority=-5;u_cmdpriv=auth,passwd>[auth,passwd];u_syspriv=execsuid,chown>[execsuid,chown];"
    "u_auditcntl=login,database>[login,database];u_auditdisp=boot/down>[boot/down];"
    "u_minchg=1w>604800;u_maxlen=20;u_exp=90d>7776000;u_life=180d>15552000;"
    "u_succhg=2024-05-01T12:00:00Z;u_unsucchg=2024-05-02>2024-05-02T00:00:00Z;u_pswduser=sam;"
    "u_pickpw=no>false;u_genpwd=yes>true;u_restrict=yes>true;u_nullpw=no>false;"
    "u_suclog=2024-06-01T08:30:00Z;u_suctty=tty1;u_unsuclog=2024-06-02T09:00:00Z;"
    "u_unsuctty=tty2;u_numunsuclog=2;u_maxtries=7;u_singleuserpswd=yes>true;u_secclass=c2>[c2];"
    "u_pwseg=4;";
constexpr const char *kTerminalFields =
    "t_uid=alice;t_logtime=2024-01-02T03:04:05Z;t_unsucuid=carol;"
    "t_unsuctime=2024-01-03>2024-01-03T00:00:00Z;t_prevuid=sam;"
    "t_prevtime=2024-01-04>2024-01-04T00:00:00Z;t_failures=4;t_maxtries=9;t_logdelay=3s>3;"
    "t_label=the desk by the door;t_lock=yes>true;t_login_timeout=2m>120;";

TEST_F(VantDbTest, EveryFieldRoundTripsThroughSetShowAndJson) {
    const std::pair<std::vector<std::string>, const char *> kinds[] = {
        {{"set", "terminal", "tty2"}, kTerminalFields}, {{"set", "user", "carol"}, kUserFields}};
    for (const auto &[command, table] : kinds) {
        std::vector<std::string> args = command, fields;
        std::string all = table;
        for (size_t at = 0, end; (end = all.find(';', at)) != std::string::npos; at = end + 1)
            fields.push_back(all.substr(at, end - at));
        for (const std::string &f : fields)
            args.push_back(f.substr(0, f.find('>')));
        ChildResult r = run(args);
        ASSERT_EQ(r.exit_status, 0) << r.err;
        Json shown = json({"show", command[1], command[2]});
        for (const std::string &f : fields) {
            size_t is = f.find('='), gt = f.find('>');
            const Json &field = shown[f.substr(0, is)];
            EXPECT_FALSE(field["default"].b) << f;
            EXPECT_EQ(as_text(field["value"]), f.substr(gt != std::string::npos ? gt + 1 : is + 1))
                << f;
        }
    }
    // Only control characters are escaped.
    EXPECT_NE(run({"--json", "show", "terminal", "tty2"}).out.find("\"the desk by the door\""),
              std::string::npos);
    EXPECT_EQ(run({"set", "user", "carol", "u_maxtries="}).exit_status, 0);
    EXPECT_TRUE(json({"show", "user", "carol"})["u_maxtries"]["default"].b);
    EXPECT_EQ(run({"unlock", "terminal", "tty2"}).exit_status, 0);
    Json tty = json({"show", "terminal", "tty2"});
    EXPECT_FALSE(tty["t_lock"]["value"].b);
    EXPECT_EQ(tty["t_failures"]["value"].n, 0);
}

TEST_F(VantDbTest, AnAdministratorUnlocksAnAccountLockedByFailures) {
    ASSERT_EQ(run({"set", "user", "alice", "u_numunsuclog=3"}).exit_status, 0);
    ASSERT_EQ(run({"lock", "user", "alice"}).exit_status, 0);
    EXPECT_NE(read("/etc/shadow").find("alice:*LK*"), std::string::npos);
    ASSERT_EQ(run({"unlock", "user", "alice"}).exit_status, 0);
    Json alice = json({"show", "user", "alice"});
    EXPECT_EQ(alice["u_numunsuclog"]["value"].n, 0);
    EXPECT_FALSE(alice["u_lock"]["value"].b);
    EXPECT_EQ(run({"check"}).exit_status, 0);
}

TEST_F(VantDbTest, CheckFindsAHandEditedShadowLine) {
    std::string shadow = read("/etc/shadow");
    shadow.insert(shadow.find("alice:") + 6, "Zz");
    std::ofstream(root + "/etc/shadow") << shadow;
    ChildResult r = run({"check"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.out.find("alice"), std::string::npos) << r.out;
    Json found = parse_json(run({"--json", "check"}).out)["disagreements"];
    ASSERT_EQ(found.items.size(), 1u);
    EXPECT_EQ(found.items[0]["user"].s, "alice");
    EXPECT_EQ(names(found.items[0]["fields"]), std::vector<std::string>{"u_pwd"});
}

TEST_F(VantDbTest, GrantsRevokesCreatesAndRemoves) {
    ASSERT_EQ(run({"grant", "alice", "passwd", "su"}).exit_status, 0);
    EXPECT_EQ(names(json({"show", "user", "alice"})["authorizations"]["value"]),
              (std::vector<std::string>{"su", "passwd"}));
    ASSERT_EQ(run({"revoke", "alice", "su"}).exit_status, 0);
    EXPECT_EQ(names(json({"show", "user", "alice"})["authorizations"]["value"]),
              std::vector<std::string>{"passwd"});
    ASSERT_EQ(run({"create", "user", "dave", "1010", "u_type=general"}).exit_status, 0);
    EXPECT_EQ(json({"show", "user", "dave"})["u_id"]["value"].n, 1010);
    ASSERT_EQ(run({"remove", "user", "dave"}).exit_status, 0);
    EXPECT_EQ(run({"show", "user", "dave"}).exit_status, 2);
}

// Bad input: one line on standard error naming the fault, status 2, and
// not one file of the root changed.
TEST_F(VantDbTest, BadInputIsNamedInOneLineAndChangesNothing) {
    const std::pair<std::vector<std::string>, const char *> bad[] = {
        {{"show", "user", "nobody"}, "no such user: nobody"},
        {{"unlock", "terminal", "tty9"}, "no such terminal: tty9"},
        {{"set", "user", "alice", "u_maxtries=70000"}, "out of range"},
        {{"set", "user", "alice", "u_maxtries=3", "u_pwseg=11"}, "u_pwseg"},
        {{"set", "user", "alice", "u_cmdpriv=auth,fly"}, "unknown authorization name \"fly\""},
        {{"set", "user", "alice", "u_syspriv=fly"}, "unknown system privilege name"},
        {{"set", "user", "alice", "u_succhg=yesterday"}, "not a date"},
        {{"set", "user", "alice", "u_colour=red"}, "no settable field \"u_colour\""},
        {{"grant", "alice", "fly"}, "unknown authorization name \"fly\""},
        {{"create", "user", "a:b", "1010"}, "\":\""},
        {{"create", "user", "a\nb", "1010"}, "newline"},
        {{"create", "user", "alice", "1010"}, "already has an entry"},
        {{"frobnicate"}, "unknown command"},
        {{"init", "/"}, "not an empty directory"},
    };
    auto before = snapshot();
    for (const auto &[args, names] : bad) {
        ChildResult r = run(args);
        EXPECT_EQ(r.exit_status, 2) << names;
        EXPECT_NE(r.err.find(names), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(snapshot(), before);
    setenv("VANT_ROOT", (root + "/missing").c_str(), 1);
    ChildResult r = run({"list", "users"});
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_NE(r.err.find("VANT_ROOT names no directory"), std::string::npos);
}

}  // namespace
}  // namespace vant::test
