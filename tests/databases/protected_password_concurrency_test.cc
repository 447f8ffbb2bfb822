// Several processes updating mirrored Protected Password entries at once
// under integrity: every update lands, both sides agree, and the
// conventional files keep one line per user, none lost or duplicated.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "databases/databases_fixture.h"

namespace vant::test {
namespace {

constexpr int kWriters = 8;

std::string user(int i) {
    return "user" + std::to_string(i);
}
std::string password(int i) {
    return "password" + std::to_string(10000 + i);
}

class PrpwConcurrencyTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        mirroring(true, true);
        passwd = kDefaultPasswd;
        std::string shadow = kShadow;
        for (int i = 0; i < kWriters; ++i) {
            std::string id = std::to_string(2000 + i);
            passwd += user(i) + ":x:" + id + ":100::/home/" + user(i) + ":/bin/sh\n";
            shadow += user(i) + ":oldpassword00:19000:0:99999:7:::\n";
            entry(user(i), "u_id#" + id + ":u_pwd=oldpassword00");
        }
        entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
        box.write("/etc/passwd", passwd);
        box.write("/etc/shadow", shadow, 0640);
    }

    // Starts one writer per body; how each ended (1: its update landed).
    static std::vector<int> run_writers(int (*body)(int)) {
        std::vector<pid_t> pids;
        for (int i = 0; i < kWriters; ++i) {
            pid_t pid = fork();
            if (pid == 0) _exit(body(i));
            pids.push_back(pid);
        }
        std::vector<int> landed;
        for (pid_t pid : pids) {
            int status = 0;
            waitpid(pid, &status, 0);
            landed.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
        return landed;
    }
    static int put(const std::string &name, vant_id_t id, const std::string &pwd) {
        Record r = Record().name(name.c_str()).id(id).pwd(pwd.c_str());
        return putprpwnam(name.c_str(), &r.pr);
    }

    std::string entry_password(const std::string &name) const {
        std::string text = box.read(prpw_path(name));
        size_t at = text.find("u_pwd=") + 6;
        return text.substr(at, text.find(':', at) - at);
    }
    void expect_well_formed() const {
        EXPECT_EQ(box.read("/etc/passwd"), passwd);
        std::vector<std::string> names;
        for (const auto &[n, p] : shadow_users())
            names.push_back(n);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << "a duplicated line";
        EXPECT_EQ(names.size(), 5u + kWriters);
        std::string shadow = box.read("/etc/shadow");
        EXPECT_EQ(std::count(shadow.begin(), shadow.end(), '\n'), 5 + kWriters);
        EXPECT_NOTHING_LEFT_BEHIND(box);
    }
    std::string passwd;
};

TEST_F(PrpwConcurrencyTest, WritersOfDifferentUsersAllLand) {
    std::vector<int> landed = run_writers([](int i) {
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (put(user(i), static_cast<vant_id_t>(2000 + i), password(i)) == 1) return 1;
            usleep(1000);
        }
        return 0;
    });
    EXPECT_EQ(landed, std::vector<int>(kWriters, 1));
    for (int i = 0; i < kWriters; ++i) {
        EXPECT_EQ(entry_password(user(i)), password(i));
        EXPECT_EQ(shadow_password(user(i)), password(i));
    }
    EXPECT_EQ(shadow_password("alice"), "abcdefghijklm");
    expect_well_formed();
}

// Writers of one user take turns: each lands, and the last one's password
// stands on both sides.
TEST_F(PrpwConcurrencyTest, WritersOfOneUserLeaveBothSidesAgreeing) {
    std::vector<int> landed = run_writers([](int i) { return put("alice", 1000, password(i)); });
    EXPECT_EQ(landed, std::vector<int>(kWriters, 1));
    std::string stored = entry_password("alice");
    EXPECT_EQ(shadow_password("alice"), stored);
    EXPECT_EQ(stored.rfind("password1000", 0), 0u) << stored;
    expect_well_formed();
}

}  // namespace
}  // namespace vant::test
