// Several processes updating the Protected Password database at once:
// every update lands whole or reports failure, and the conventional files
// stay well formed, with no line lost or duplicated.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "databases/protected_password_fixture.h"

namespace vant::test {
namespace {

constexpr int kWriters = 8;
constexpr int kAttempts = 400;

class PrpwConcurrencyTest : public PrpwTest {
  protected:
    void SetUp() override {
        PrpwTest::SetUp();
        mirroring(true, true);
        std::string passwd = kDefaultPasswd, shadow = kPrpwShadow;
        box.mkdir("/tcb/files/auth/u");
        for (int i = 0; i < kWriters; ++i) {
            std::string n = user(i);
            passwd += n + ":x:" + std::to_string(2000 + i) + ":100::/home/" + n + ":/bin/sh\n";
            shadow += n + ":oldpassword00:19000:0:99999:7:::\n";
            entry(n, "u_id#" + std::to_string(2000 + i) + ":u_pwd=oldpassword00");
        }
        box.write("/etc/passwd", passwd);
        box.write("/etc/shadow", shadow, 0640);
        passwd_before = passwd;
    }
    static std::string user(int i) { return "user" + std::to_string(i); }
    static std::string password(int i) { return "password" + std::to_string(10000 + i); }

    // Starts one writer per body; each exits 1 when its update landed.
    std::vector<int> run_writers(int (*body)(int)) {
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

    // The entry's stored password.
    std::string entry_password(const std::string &name) const {
        std::string text = box.read(entry_path(name));
        size_t at = text.find("u_pwd=");
        if (at == std::string::npos) return "<none>";
        at += 6;
        return text.substr(at, text.find(':', at) - at);
    }

    // Every update's transition and lock files are gone, and each user has
    // exactly one line in each file.
    void expect_well_formed() const {
        EXPECT_EQ(passwd_lines(), lines_of(passwd_before));
        std::vector<std::string> names;
        for (const auto &[n, p] : shadow_users())
            names.push_back(n);
        std::vector<std::string> unique = names;
        std::sort(unique.begin(), unique.end());
        EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end());
        EXPECT_EQ(names.size(), 5u + kWriters);
        EXPECT_EQ(shadow_lines().size(), 5u + kWriters);
        EXPECT_FALSE(box.exists("/etc/passwd-t"));
        EXPECT_FALSE(box.exists("/etc/shadow-t"));
        for (int i = 0; i < kWriters; ++i)
            EXPECT_FALSE(box.exists(entry_path(user(i)) + "-t"));
        EXPECT_FALSE(box.exists(entry_path("alice") + "-t"));
    }
    std::string passwd_before;
};

int update_user(int i, const std::string &name, const std::string &pwd) {
    Record r = Record().name(name.c_str()).id(static_cast<vant_id_t>(2000 + i)).pwd(pwd.c_str());
    return putprpwnam(name.c_str(), &r.pr);
}

TEST_F(PrpwConcurrencyTest, WritersOfDifferentUsersAllLandEventually) {
    std::vector<int> landed = run_writers([](int i) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (update_user(i, user(i), password(i)) == 1) return 1;
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

TEST_F(PrpwConcurrencyTest, WritersOfOneUserLeaveBothSidesAgreeing) {
    std::vector<int> landed = run_writers([](int i) {
        Record r = Record().name("alice").id(1000).pwd(password(i).c_str());
        return putprpwnam("alice", &r.pr);
    });
    std::set<std::string> landed_passwords;
    for (int i = 0; i < kWriters; ++i) {
        EXPECT_TRUE(landed[i] == 0 || landed[i] == 1) << landed[i];
        if (landed[i] == 1) landed_passwords.insert(password(i));
    }
    std::string stored = entry_password("alice");
    EXPECT_EQ(shadow_password("alice"), stored);
    if (landed_passwords.empty())
        EXPECT_EQ(stored, "abcdefghijklm");
    else
        EXPECT_EQ(landed_passwords.count(stored), 1u) << stored;
    expect_well_formed();
}

}  // namespace
}  // namespace vant::test
