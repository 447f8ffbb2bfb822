// vant-db run as an administrator runs it, on a root made by its own init.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/child.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

// A command line (its words split at spaces), the status it ends with and
// parts of what it prints; a refusal (status 2) is one line on standard error.
using Step = std::tuple<std::string, int, std::vector<std::string>>;

class VantDbTest : public SandboxTest {
  protected:
    const std::string root = box.path("/db");

    void SetUp() override {
        setenv("VANT_ROOT", root.c_str(), 1);
        play({{"init " + root, 0, {}}});
    }
    static void play(const std::vector<Step> &steps) {
        for (const auto &[command, status, shows] : steps) {
            std::vector<std::string> args{VANT_DB_PROGRAM};
            std::istringstream words(command);
            for (std::string w; std::getline(words, w, ' ');)
                args.push_back(w);
            ChildResult r = run_child([&] {
                std::vector<char *> argv;
                for (std::string &a : args)
                    argv.push_back(a.data());
                argv.push_back(nullptr);
                execv(VANT_DB_PROGRAM, argv.data());
                _exit(127);
            });
            EXPECT_EQ(r.exit_status, status) << command << "\n" << r.err;
            for (const std::string &part : shows)
                EXPECT_NE((r.out + r.err).find(part), std::string::npos)
                    << command << ": " << r.out << r.err;
            EXPECT_TRUE(status != 2 || r.err.find('\n') == r.err.size() - 1) << r.err;
        }
    }
};

// "field=value;" as set; --json gives the value back (quoted unless a
// number), or what follows ">".
constexpr const char *kUserFields =
    R"(u_id=1000;u_pwd=abCDefGHijKLm;u_type=general,admin>["admin","general"];u_owner=sam;)"
    R"(u_priority=-5;u_cmdpriv=auth,passwd>["auth","passwd"];)"
    R"(u_syspriv=execsuid,chown>["execsuid","chown"];u_auditcntl=login,database>["login","database"];)"
    R"(u_auditdisp=boot/down>["boot/down"];u_minchg=1w>604800;u_maxlen=20;u_exp=90d>7776000;)"
    R"(u_life=180d>15552000;u_succhg=2024-05-01T12:00:00Z;u_unsucchg=2024-05-02>"2024-05-02T00:00:00Z";)"
    R"(u_pswduser=sam;u_pickpw=no>false;u_genpwd=yes>true;u_restrict=yes>true;u_nullpw=no>false;)"
    R"(u_suclog=2024-06-01T08:30:00Z;u_suctty=tty1;u_unsuclog=2024-06-02T09:00:00Z;u_unsuctty=tty2;)"
    R"(u_numunsuclog=2;u_maxtries=7;u_singleuserpswd=yes>true;u_secclass=c2>["c2"];u_pwseg=4;)";
constexpr const char *kTerminalFields =
    R"(t_uid=alice;t_logtime=2024-01-02T03:04:05Z;t_unsucuid=carol;)"
    R"(t_unsuctime=2024-01-03>"2024-01-03T00:00:00Z";t_prevuid=sam;)"
    R"(t_prevtime=2024-01-04>"2024-01-04T00:00:00Z";t_failures=4;t_maxtries=9;t_logdelay=3s>3;)"
    R"(t_label=desk/by-the.door;t_lock=yes>true;t_login_timeout=2m>120;)";

// Bad input changes no file; then every field round trips, and an
// administrator lists, locks, grants, creates and checks.
TEST_F(VantDbTest, AnAdministratorsSession) {
    // The root's files but the name indexes, which a lookup may build.
    auto snapshot = [&] {
        std::map<std::string, std::string> files;
        for (const auto &e : std::filesystem::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.path().string().ends_with("_name_index"))
                files[e.path()] = box.read(e.path().string().substr(box.root().size()));
        return files;
    };
    auto before = snapshot();
    play({{"show user nobody", 2, {"no such user: nobody"}},
          {"unlock terminal tty9", 2, {"no such terminal: tty9"}},
          {"set user alice u_maxtries=70000", 2, {"out of range"}},
          {"set user alice u_maxtries=3 u_pwseg=11", 2, {"u_pwseg"}},
          {"set user alice u_cmdpriv=auth,fly", 2, {"unknown authorization name \"fly\""}},
          {"set user alice u_syspriv=fly", 2, {"unknown system privilege name"}},
          {"set user alice u_succhg=yesterday", 2, {"not a date"}},
          {"set user alice u_colour=red", 2, {"no settable field \"u_colour\""}},
          {"grant alice fly", 2, {"unknown authorization name \"fly\""}},
          {"create user a:b 1010", 2, {"\":\""}},
          {"create user a\nb 1010", 2, {"newline"}},
          {"create user alice 1010", 2, {"already has an entry"}},
          {"frobnicate", 2, {"unknown command"}},
          {"init /", 2, {"not an empty directory"}}});
    EXPECT_EQ(snapshot(), before);
    for (const auto &[entry, table] :
         {std::pair{"terminal tty2", kTerminalFields}, std::pair{"user carol", kUserFields}}) {
        std::string set = std::string("set ") + entry, all = table;
        std::vector<std::string> fields;
        for (size_t at = 0, end; (end = all.find(';', at)) != std::string::npos; at = end + 1) {
            std::string f = all.substr(at, end - at);
            size_t is = f.find('='), gt = f.find('>');
            std::string v = f.substr(gt != std::string::npos ? gt + 1 : is + 1);
            if (gt == std::string::npos && v.find_first_not_of("-0123456789") != std::string::npos)
                v = "\"" + v + "\"";
            set += " " + f.substr(0, gt);
            fields.push_back("\"" + f.substr(0, is) + "\":{\"value\":" + v + ",\"default\":false}");
        }
        play({{set, 0, {}}, {std::string("--json show ") + entry, 0, fields}});
    }
    play({{"set user carol u_maxtries=", 0, {}},
          {"--json show user carol", 0, {R"("u_maxtries":{"value":3,"default":true})"}},
          {"unlock terminal tty2", 0, {}},
          {"--json show terminal tty2", 0, {R"("t_lock":{"value":false,"default":false})"}},
          {"--json show terminal tty2", 0, {R"("t_failures":{"value":0,"default":false})"}},
          {"--json list users", 0, {R"(["root","alice","carol","sam"])"}},
          {"--json list terminals", 0, {R"(["console","tty1","tty2","pts0"])"}},
          {"--json show user sam", 0, {R"("authorizations":{"value":["auth"],"default":false})"}},
          {"set user alice u_numunsuclog=3", 0, {}},
          {"lock user alice", 0, {}}});
    EXPECT_NE(box.read("/db/etc/shadow").find("alice:*LK*"), std::string::npos);
    play({{"unlock user alice", 0, {}},
          {"grant alice passwd su", 0, {}},
          {"--json show user alice", 0, {R"("u_numunsuclog":{"value":0,"default":false})"}},
          {"--json show user alice", 0, {R"("u_lock":{"value":false,"default":false})"}},
          {"--json show user alice", 0, {R"("authorizations":{"value":["su","passwd"])"}},
          {"revoke alice su", 0, {}},
          {"--json show user alice", 0, {R"("authorizations":{"value":["passwd"])"}},
          {"create user dave 1010 u_type=general", 0, {}},
          {"--json show user dave", 0, {R"("u_id":{"value":1010,"default":false})"}},
          {"remove user dave", 0, {}},
          {"show user dave", 2, {"no such user: dave"}},
          {"--json check", 0, {R"({"checked":4,"disagreements":[]})"}}});
    std::string shadow = box.read("/db/etc/shadow");
    std::ofstream(root + "/etc/shadow") << shadow.insert(shadow.find("alice:") + 6, "Zz");
    play({{"check",
           1,
           {"alice: the protected entry and /etc/passwd or /etc/shadow disagree on u_pwd\n"}},
          {"--json check",
           1,
           {R"({"checked":4,"disagreements":[{"user":"alice","fields":["u_pwd"]}]})"}}});
    setenv("VANT_ROOT", (root + "/missing").c_str(), 1);
    play({{"list users", 2, {"VANT_ROOT names no directory"}}});
}

}  // namespace
}  // namespace vant::test
