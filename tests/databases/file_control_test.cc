// The File Control database: its codec and its readers over a file and
// over the built-in table.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "authdb/authcap.h"
#include "databases/databases_fixture.h"
#include "databases/file_control.h"
#include "support/child.h"

namespace vant::test {
namespace {

using databases::fakefcdb;

// Every user and group the built-in table names.
constexpr const char *kPasswd =
    "root:x:0:0:root:/root:/bin/sh\nbin:x:2:2:bin:/bin:/usr/sbin/nologin\n"
    "auth:x:7:21:auth:/tcb/files/auth:/usr/sbin/nologin\nalice:x:1000:100:Alice:/:/bin/sh\n";
constexpr const char *kGroup =
    "root:x:0:\nbin:x:2:\nadm:x:4:\ntty:x:5:\ndisk:x:6:\nlp:x:7:\nmail:x:8:\nkmem:x:15:\n"
    "dialout:x:20:\nauth:x:21:\nshadow:x:42:\nutmp:x:43:\nusers:x:100:alice\n";

constexpr const char *kDatabase =
    "/etc/auth/system/files-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/dev/tty*:f_owner=root:f_group=tty:f_mode#0620:f_type=c:chkent:\n"
    "/dev/tty01:f_owner=root:f_group=root:f_mode#0600:f_type=c:chkent:\n"
    "/tcb/files/auth/?/*:f_group=auth:f_mode#0660:f_type=r:chkent:\n";

// One entry text decoded, and what storing it again writes.
struct Decoded {
    std::string text;
    struct pr_file r {};
    int result;
    explicit Decoded(std::string entry) : text(std::move(entry)) {
        result = databases::read_fi_fields(&r.ufld, &r.uflg, text.data());
    }
    std::string stored(const char *name) const {
        return stored_text(
            [&](FILE *out) { return databases::store_fi_fields(out, name, &r.ufld, &r.uflg); });
    }
};

class FileControlTest : public DatabasesTest {
  protected:
    void SetUp() override {
        box.write("/etc/passwd", kPasswd);
        box.write("/etc/group", kGroup);
        DatabasesTest::SetUp();
        box.write(kFiles, kDatabase, 0664);
    }
};

TEST_F(FileControlTest, TheCodecReadsThreeBasesAndWritesFourFieldsToALineInTableOrder) {
    Decoded all(
        "/usr/bin/x:f_cksum#0xdeadbeef:f_owner=bin:f_group=auth:f_mode#04755:f_type=r:"
        "f_size#4000000000:f_mtime#010:f_ctime#-1:chkent:");
    ASSERT_EQ(all.result, 0);
    EXPECT_EQ(all.r.uflg.word, 0x1FFu);
    EXPECT_EQ(all.r.ufld.f_ctime, -1);
    all.r.ufld.f_ctime = 0x10;
    EXPECT_EQ(all.stored("/usr/bin/y"),
              "/usr/bin/y:f_owner=bin:f_group=auth:f_mode#04755:\\\n"
              "\t:f_type=r:f_size#4000000000:f_mtime#8:f_ctime#16:\\\n"
              "\t:f_cksum#0xdeadbeef:chkent:\n");
    Decoded other("/x: :\t:f_other=1:f_mode#0200755:chkent:");
    EXPECT_EQ(other.stored("/x"), "/x:f_mode#0755:chkent:\n") << "the mode keeps 16 bits";
    // An owner or group without a name stops the store.
    all.r.ufld.f_group = 4242;
    EXPECT_EQ(all.stored("/x"), "FAILED /x:f_owner=bin:");
    for (std::string bad :
         {"/x:f_owner@:f_mode#0644:chkent:", "/x:f_mode=0644:f_type=r:chkent:",
          "/x:f_type#1:f_mode#0644:chkent:", "/x:f_owner=nobody:f_type=r:chkent:",
          "/x:f_group=nogroup:f_type=r:chkent:", "/x:f_owner=root:f_mode#0644", "/x"})
        EXPECT_EQ(Decoded(bad).result, 1) << bad;

    // Lookups take the first match; without the switch to the built-in
    // table there is no database at all.
    struct pr_file *pr = getprfinam("/dev/tty01");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.f_name, "/dev/tty*");
    EXPECT_EQ(getprfinam("/tcb/files/auth/a/alice/x"), nullptr);
    box.remove(kFiles);
    EXPECT_EQ(getprfinam("/etc/passwd"), nullptr);
}

TEST_F(FileControlTest, TheBuiltInTableGivesTheFirstMatchAndServesCreationAndUpdate) {
    box.remove(kFiles);
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    for (auto [path, entry] :
         {std::pair{"/dev/tty3", "/dev/tty*:f_owner=root:f_group=tty:f_mode#0620:\\\n\t:f_type=c:"},
          {"/tcb/files/auth/b",
           "/tcb/files/auth/?:f_owner=root:f_group=auth:f_mode#0775:\\\n\t:f_type=d:"},
          {"/tcb/files/auth/a/alice", "/tcb/files/auth/?/*:f_group=auth:f_mode#0660:f_type=r:"}}) {
        struct pr_file *pr = getprfinam(path);
        ASSERT_NE(pr, nullptr) << path;
        std::string text = stored_text([pr](FILE *out) {
            return databases::store_fi_fields(out, pr->ufld.f_name, &pr->ufld, &pr->uflg);
        });
        EXPECT_TRUE(text.starts_with(entry)) << text;
    }
    EXPECT_EQ(getprfinam("/etc/auth/system/unlisted"), nullptr);
    // Every file the library creates or replaces has an entry.
    std::istringstream own(
        "/etc/auth/system/files /etc/auth/system/files-o /etc/auth/system/ttys-t "
        "/etc/auth/system/ttys-o /etc/auth/system/default-t /etc/auth/system/default-o "
        "/etc/auth/system/devassign-t /etc/auth/system/devassign-o /etc/auth/system/gr_id_map "
        "/etc/auth/system/pw_id_map /etc/auth/subsystems/lp-t /etc/auth/subsystems/dflt_users-t "
        "/tcb/files/auth/a/alice-t /etc/shadow /etc/default/login /dev/auditw");
    for (std::string path; own >> path;)
        EXPECT_NE(getprfinam(path.c_str()), nullptr) << path;

    // A pass goes over the table in order; no name stands behind an
    // earlier pattern, since the first match wins.
    setprfient();
    int n = 0;
    for (; struct pr_file *pr = getprfient(); ++n) {
        ASSERT_NE(fakefcdb[n], nullptr);
        EXPECT_TRUE(std::string(fakefcdb[n]).starts_with(pr->ufld.f_name + std::string(":")));
        EXPECT_TRUE(PR_F_ISSET(pr->uflg, PR_F_MODE) && PR_F_ISSET(pr->uflg, PR_F_TYPE));
        for (int j = 0; j < n; ++j)
            EXPECT_FALSE(authdb::match_file(pr->ufld.f_name, fakefcdb[j])) << pr->ufld.f_name;
    }
    EXPECT_EQ(fakefcdb[n], nullptr);

    EXPECT_EQ(create_file_securely("/tcb/files/auth/a/alice-t", 2, "Create new file"), 0);
    struct stat st;
    stat(box.path("/tcb/files/auth/a/alice-t").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_TRUE(geteuid() != 0 || st.st_gid == 21u);
    Decoded rec(":f_group=auth:f_mode#0640:f_type=r:chkent:");
    EXPECT_EQ(putprfinam("/srv/data", &rec.r), 1);
    EXPECT_EQ(box.read(kFiles), "/srv/data:f_group=auth:f_mode#0640:f_type=r:\\\n\t:chkent:\n");
}

// A database the writer cannot read is not an empty one: it stays whole.
// The library starts in the child, as the user the writer runs as.
using UnstartedTest = SandboxTest;
TEST_F(UnstartedTest, APutKeepsAFileControlDatabaseItCannotRead) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take another identity";
    box.write("/etc/passwd", kPasswd);
    box.write("/etc/group", kGroup);
    box.write(kFiles,
              "/etc/auth/system/files-t:f_group=users:f_mode#0664:f_type=r:chkent:\n"
              "/etc/passwd:f_mode#0644:f_type=r:chkent:\n");
    std::string files = box.path(kFiles);
    ASSERT_EQ(chown(files.c_str(), 1000, 100), 0);
    chmod(box.path("/etc/auth/system").c_str(), 0777);
    box.install_recorder();
    ChildResult r = run_child([&] {
        gid_t users = 100;
        if (setgroups(1, &users) != 0 || setresgid(100, 100, 100) != 0 ||
            setresuid(1000, 1000, 1000) != 0 ||
            start(box, {.program = "dbtest", .recorder = false}) != 0)
            _exit(2);
        if (getprfinam("/etc/passwd") == nullptr || chmod(files.c_str(), 0) != 0) _exit(3);
        Decoded rec(":f_mode#0600:f_type=r:chkent:");
        printf("%d", putprfinam("/srv", &rec.r));
    });
    EXPECT_EQ(r.out, "0") << r.err;
    chmod(files.c_str(), 0644);
    EXPECT_EQ(box.read(kFiles).find("/srv"), std::string::npos);
    EXPECT_NE(box.read(kFiles).find("/etc/passwd:"), std::string::npos);
    EXPECT_FALSE(box.exists(std::string(kFiles) + "-t"));
}

}  // namespace
}  // namespace vant::test
