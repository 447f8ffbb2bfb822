// Tests of audit records written to the audit device. A regular file stands
// in for the device; records are compared byte for byte.
#include <pwd.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}
std::string nul(size_t n) {
    return std::string(n, '\0');
}
std::string header(size_t length, unsigned event, unsigned record, uint32_t when = 0,
                   unsigned pid = 0) {
    return le16(static_cast<unsigned>(length)) + nul(2) + le32(when) + nul(4) + le16(event) +
           le16(record) + nul(2) + le16(pid);
}

unsigned terminal() {
    struct stat st;
    return fstat(STDIN_FILENO, &st) == 0 ? st.st_rdev & 0xFFFF : 0;
}

pr_passwd user(const char *name, vant_id_t uid) {
    pr_passwd pr{};
    snprintf(pr.ufld.u_name, sizeof pr.ufld.u_name, "%s", name);
    pr.ufld.u_id = uid;
    return pr;
}

char kAlice[] = "alice", kStar[] = "*", kShell[] = "/bin/sh";

class AuditDeviceTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/dev/auditw", "");
        ASSERT_EQ(start(box, {.program = "/usr/sbin/audtest"}), 0);
    }
    std::string written() const { return box.read("/dev/auditw"); }
    std::filesystem::path host(const char *logical) const {
        return std::filesystem::canonical(box.path(logical));
    }
};

TEST_F(AuditDeviceTest, LoginRecordsEnterHomeOrFallBackToRootAndSizeTheirTexts) {
    char home[] = "/home/alice";
    passwd pw{kAlice, kStar, 1000, 100, kAlice, home, kShell};
    pr_passwd pr = user("alice", 1000);
    audit_login(&pr, &pw, "tty01", VANT_LOGIN_OK);
    EXPECT_EQ(std::filesystem::current_path(), host("/home/alice"));
    std::string first = header(62, 2, 20) + "alice" + nul(3) + le16(1) + le16(1000) + le16(100) +
                        le16(terminal()) + le32(12) + le32(6) +
                        std::string("/home/alice\0tty01\0", 18);
    EXPECT_EQ(written(), first);
    char nowhere[] = "/home/nobody";
    pw.pw_dir = nowhere;
    pr = user("abcdefgh", 1001);
    audit_login(&pr, &pw, nullptr, VANT_LOGIN_FAILED);
    EXPECT_EQ(std::filesystem::current_path(), host("/"));
    // Longer than the shared buffer: written whole from a block of its own.
    std::string tty(1100, 't');
    audit_login(&pr, nullptr, tty.c_str(), VANT_LOGOFF);
    EXPECT_EQ(written(), first + header(46, 2, 20) + "abcdefgh" + le16(2) + le16(1001) + le16(100) +
                             le16(terminal()) + le32(2) + le32(0) + std::string("/\0", 2) +
                             header(1147, 2, 20) + "abcdefgh" + le16(3) + le16(1001) +
                             le16(getgid()) + le16(terminal()) + le32(2) + le32(1101) +
                             std::string("/\0", 2) + tty + nul(1));
}

TEST_F(AuditDeviceTest, PasswordAndLockRecordsAndNoDeviceNoRecord) {
    pr_passwd pr = user("alice", 1000);
    EXPECT_EQ(audit_passwd(&pr, VANT_PASSWD_FAILED), 0);
    // A name field without its NUL is not read past.
    memset(pr.ufld.u_name, 'x', sizeof pr.ufld.u_name);
    audit_lock(&pr, 1, 5);
    EXPECT_EQ(written(), header(32, 18, 21) + "alice" + nul(3) + le16(2) + nul(2) +
                             header(36, 18, 22) + "xxxxxxxx" + nul(4) + le16(1) + le16(5));
    box.remove("/dev/auditw");
    audit_lock(&pr, 1, 3);
    EXPECT_FALSE(box.exists("/dev/auditw"));
    EXPECT_TRUE(read_deliveries(box.recorder_log()).empty());
}

TEST_F(AuditDeviceTest, AuditSubsystemRecordsCarryTimeAndProcessAndFitTheLengthField) {
    uint32_t before = static_cast<uint32_t>(time(nullptr));
    sa_audit_audit(77, nullptr);
    sa_audit_audit(3, std::string(70000, 'a').c_str());
    std::string got = written();
    ASSERT_EQ(got.size(), 29u + 0xFFFF);
    uint32_t when;
    memcpy(&when, got.data() + 4, sizeof when);
    EXPECT_LE(when - before, 60u);
    unsigned pid = static_cast<unsigned>(getpid());
    EXPECT_EQ(got.substr(0, 29), header(29, 12, 24, when, pid) + le16(77) + nul(7));
    EXPECT_EQ(got.substr(29, 28), header(0xFFFF, 12, 24, when, pid) + le16(3) + nul(6));
    EXPECT_EQ(got.substr(29 + 28), std::string(0xFFFF - 29, 'a') + nul(1));
}

}  // namespace
}  // namespace vant::test
