// The File Control database: its codec, its readers over a file and over
// the built-in table, and a writer whose database it cannot read.
#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>

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
using databases::read_fi_fields;

// Every user and group the built-in table names.
constexpr const char *kPasswd =
    "root:x:0:0:root:/root:/bin/sh\n"
    "bin:x:2:2:bin:/bin:/usr/sbin/nologin\n"
    "auth:x:7:21:auth:/tcb/files/auth:/usr/sbin/nologin\n"
    "alice:x:1000:100:Alice:/home/alice:/bin/sh\n";
constexpr const char *kGroup =
    "root:x:0:\nbin:x:2:\nadm:x:4:\ntty:x:5:\ndisk:x:6:\nlp:x:7:\nmail:x:8:\nkmem:x:15:\n"
    "dialout:x:20:\nauth:x:21:\nshadow:x:42:\nutmp:x:43:\nusers:x:100:alice\n";

constexpr const char *kDatabase =
    "/etc/auth/system/files-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/etc/passwd:f_owner=bin:f_group=auth:f_mode#0664:\\\n"
    "\t:f_type=r:chkent:\n"
    "/dev/tty*:f_owner=root:f_group=tty:f_mode#0620:f_type=c:chkent:\n"
    "/dev/tty01:f_owner=root:f_group=root:f_mode#0600:f_type=c:chkent:\n"
    "# patterns cover families of files\n"
    "/tcb/files/auth/?/*:f_group=auth:f_mode#0660:f_type=r:chkent:\n";

struct Fields {
    struct f_field f {};
    struct f_flag flags {};
    Fields &owner(vant_id_t id) { return set(PR_F_OWNER, f.f_owner = id); }
    Fields &group(vant_id_t id) { return set(PR_F_GROUP, f.f_group = id); }
    Fields &mode(uint16_t m) { return set(PR_F_MODE, f.f_mode = m); }
    Fields &type(char t) { return set(PR_F_TYPE, f.f_type = t); }
    Fields &size(uint32_t n) { return set(PR_F_SIZE, f.f_size = n); }
    Fields &mtime(vant_time_t t) { return set(PR_F_MTIME, f.f_mtime = t); }
    Fields &ctime(vant_time_t t) { return set(PR_F_CTIME, f.f_ctime = t); }
    Fields &cksum(uint32_t n) { return set(PR_F_CKSUM, f.f_cksum = n); }
    struct pr_file record() const {
        return {f, flags};
    }
    // What store_fi_fields writes, or "FAILED " and what it wrote.
    std::string stored(const char *name) const {
        char *text = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&text, &size);
        int ok = databases::store_fi_fields(out, name, &f, &flags);
        fclose(out);
        std::string result = (ok == 1 ? "" : "FAILED ") + std::string(text, size);
        free(text);
        return result;
    }

  private:
    template <typename T>
    Fields &set(unsigned flag, T) {
        PR_F_SET(flags, flag);
        return *this;
    }
};

std::vector<std::string> names_of(const char *entry) {
    std::vector<std::string> names;
    std::istringstream field(std::string(entry, strcspn(entry, ":")));
    for (std::string name; std::getline(field, name, '|');)
        names.push_back(name);
    return names;
}

class FileControlTest : public DatabasesTest {
  protected:
    void SetUp() override {
        box.write("/etc/passwd", kPasswd);
        box.write("/etc/group", kGroup);
        DatabasesTest::SetUp();
        box.write(kFiles, kDatabase, 0664);
    }
    // Runs without the database, on the built-in table.
    void builtin() {
        box.remove(kFiles);
        box.write("/etc/default/security", "TCBFILES=OFF\n");
    }
};

TEST_F(FileControlTest, StoreWritesFieldsInTableOrderFourToALineAndStopsAtAnUnnamedId) {
    Fields all;
    all.owner(2).group(21).mode(0755).type('r').size(1234).mtime(5).ctime(6).cksum(31);
    EXPECT_EQ(all.stored("/usr/bin/x"),
              "/usr/bin/x:f_owner=bin:f_group=auth:f_mode#0755:\\\n"
              "\t:f_type=r:f_size#1234:f_mtime#5:f_ctime#6:\\\n"
              "\t:f_cksum#0x1f:chkent:\n");
    EXPECT_EQ(Fields().type('d').mode(0700).stored("/x"), "/x:f_mode#0700:f_type=d:chkent:\n");
    EXPECT_EQ(Fields().stored("/x"), "/x:chkent:\n");
    EXPECT_EQ(Fields().owner(4242).mode(0644).stored("/x"), "FAILED /x:");
    EXPECT_EQ(Fields().owner(0).group(4242).mode(0644).stored("/x"), "FAILED /x:f_owner=root:");
    FILE *read_only = fopen(box.path(kFiles).c_str(), "r");
    Fields x = Fields().mode(0644);
    EXPECT_EQ(databases::store_fi_fields(read_only, "/x", &x.f, &x.flags), 0);
    fclose(read_only);
}

TEST_F(FileControlTest, ReadDecodesNumbersInThreeBasesAndRejectsMalformedEntries) {
    std::string text =
        "/usr/bin/x:f_owner=bin:f_group=auth:f_mode#04755:f_type=r:"
        "f_size#4000000000:f_mtime#-1:f_ctime#6:f_cksum#0xdeadbeef:chkent:";
    struct f_field f;
    struct f_flag flags;
    ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
    EXPECT_STREQ(f.f_name, "/usr/bin/x");
    EXPECT_EQ(flags.word, 0x1FFu);
    EXPECT_EQ(f.f_owner, 2);
    EXPECT_EQ(f.f_group, 21);
    EXPECT_EQ(f.f_mode, 04755);
    EXPECT_EQ(f.f_type, 'r');
    EXPECT_EQ(f.f_size, 4000000000u);
    EXPECT_EQ(f.f_mtime, -1);
    EXPECT_EQ(f.f_ctime, 6);
    EXPECT_EQ(f.f_cksum, 0xdeadbeefu);

    text = "/x: :\t:f_other=1:f_size#0x10:f_mtime#010:f_ctime#16:f_mode#0200755:chkent:";
    ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
    EXPECT_EQ(f.f_size, 16u);
    EXPECT_EQ(f.f_mtime, 8);
    EXPECT_EQ(f.f_ctime, 16);
    EXPECT_EQ(f.f_mode, 0755) << "the mode keeps 16 bits";
    EXPECT_EQ(flags.word, PR_F_NAME | PR_F_SIZE | PR_F_MTIME | PR_F_CTIME | PR_F_MODE);
    text = ":f_mode#0644:chkent:";
    ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
    EXPECT_EQ(f.f_name, nullptr);
    EXPECT_EQ(flags.word, PR_F_MODE);

    for (std::string bad :
         {"/x:f_owner@:f_mode#0644:chkent:", "/x:f_mode=0644:f_type=r:chkent:",
          "/x:f_type#1:f_mode#0644:chkent:", "/x:f_owner=nobody:f_type=r:chkent:",
          "/x:f_group=nogroup:f_type=r:chkent:", "/x:f_owner=root:f_mode#0644", "/x"})
        EXPECT_EQ(read_fi_fields(&f, &flags, bad.data()), 1) << bad;
}

TEST_F(FileControlTest, LookupTakesTheFirstMatchAndAPassGivesEveryEntry) {
    struct pr_file *pr = getprfinam("/dev/tty01");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.f_name, "/dev/tty*");
    EXPECT_EQ(pr->ufld.f_group, 5);
    EXPECT_EQ(pr->ufld.f_mode, 0620);
    ASSERT_NE(pr = getprfinam("/tcb/files/auth/a/alice"), nullptr);
    EXPECT_FALSE(PR_F_ISSET(pr->uflg, PR_F_OWNER));
    EXPECT_EQ(getprfinam("/etc/group"), nullptr);
    EXPECT_EQ(getprfinam("/tcb/files/auth/a/alice/x"), nullptr);

    std::vector<std::string> names;
    setprfient();
    while (struct pr_file *p = getprfient())
        names.push_back(p->ufld.f_name);
    EXPECT_EQ(names, (std::vector<std::string>{"/etc/auth/system/files-t", "/etc/passwd",
                                               "/dev/tty*", "/dev/tty01", "/tcb/files/auth/?/*"}));
    EXPECT_EQ(getprfient(), nullptr);
    setprfient();
    ASSERT_NE(getprfient(), nullptr);
    EXPECT_STREQ(getprfient()->ufld.f_name, "/etc/passwd");

    // A replacement is seen even within the same second.
    struct stat old;
    stat(box.path(kFiles).c_str(), &old);
    box.write("/etc/auth/system/files.new", "/etc/passwd:f_mode#0600:f_type=r:chkent:\n");
    struct timespec times[2] = {old.st_atim, old.st_mtim};
    utimensat(AT_FDCWD, box.path("/etc/auth/system/files.new").c_str(), times, 0);
    rename(box.path("/etc/auth/system/files.new").c_str(), box.path(kFiles).c_str());
    ASSERT_NE(pr = getprfinam("/etc/passwd"), nullptr);
    EXPECT_EQ(pr->ufld.f_mode, 0600);
}

TEST_F(FileControlTest, TheBuiltInTableGivesTheFirstMatch) {
    builtin();
    struct Want {
        const char *path, *name;
        int owner, group;
        uint16_t mode;
        char type;
    };
    for (const Want &w : {
             Want{"/etc/passwd", "/etc/passwd", 2, 21, 0664, 'r'},
             Want{"/etc/default/useradd", "/etc/default/*", 0, 0, 0644, 'r'},
             Want{"/dev/tty3", "/dev/tty*", 0, 5, 0620, 'c'},
             Want{"/tcb/files/auth/b", "/tcb/files/auth/?", 0, 21, 0775, 'd'},
             Want{"/tcb/files/auth/a/alice", "/tcb/files/auth/?/*", -1, 21, 0660, 'r'},
         }) {
        SCOPED_TRACE(w.path);
        struct pr_file *pr = getprfinam(w.path);
        ASSERT_NE(pr, nullptr);
        EXPECT_STREQ(pr->ufld.f_name, w.name);
        EXPECT_EQ(PR_F_ISSET(pr->uflg, PR_F_OWNER), w.owner >= 0);
        if (w.owner >= 0) {
            EXPECT_EQ(pr->ufld.f_owner, w.owner);
        }
        EXPECT_EQ(pr->ufld.f_group, w.group);
        EXPECT_EQ(pr->ufld.f_mode, w.mode);
        EXPECT_EQ(pr->ufld.f_type, w.type);
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

    // A pass goes over the table in order.
    setprfient();
    int n = 0;
    while (struct pr_file *pr = getprfient()) {
        ASSERT_NE(fakefcdb[n], nullptr);
        EXPECT_EQ(pr->ufld.f_name, names_of(fakefcdb[n++])[0]);
    }
    EXPECT_EQ(fakefcdb[n], nullptr);
}

TEST_F(FileControlTest, EveryBuiltInEntryIsOneReadableLineNotHiddenBehindAPattern) {
    for (int i = 0; fakefcdb[i] != nullptr; ++i) {
        std::string text = fakefcdb[i];
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find_first_of("\n\\"), std::string::npos);
        EXPECT_TRUE(text.ends_with(":chkent:"));
        struct f_field f;
        struct f_flag flags;
        ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
        EXPECT_TRUE(PR_F_ISSET(flags, PR_F_MODE) && PR_F_ISSET(flags, PR_F_TYPE));
        EXPECT_NE(std::string("rdcbf").find(f.f_type), std::string::npos);
        for (const std::string &name : names_of(fakefcdb[i]))
            for (int j = 0; j < i; ++j)
                EXPECT_FALSE(authdb::match_file(name.c_str(), fakefcdb[j]))
                    << name << " stands behind " << fakefcdb[j];
    }
}

TEST_F(FileControlTest, WithoutTheSwitchThereIsNoBuiltInTable) {
    box.remove(kFiles);
    EXPECT_EQ(getprfinam("/etc/passwd"), nullptr);
    EXPECT_EQ(getprfient(), nullptr);
    EXPECT_EQ(create_file_securely("/etc/auth/system/ttys-t", 2, "Create new file"), 2);
}

TEST_F(FileControlTest, SecureCreationAndUpdateWorkFromTheBuiltInTable) {
    builtin();
    EXPECT_EQ(create_file_securely("/tcb/files/auth/a/alice-t", 2, "Create new file"), 0);
    struct stat st;
    stat(box.path("/tcb/files/auth/a/alice-t").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_gid, 21u);
    }
    struct pr_file rec = Fields().group(21).mode(0640).type('r').record();
    EXPECT_EQ(putprfinam("/srv/data", &rec), 1);
    EXPECT_EQ(box.read(kFiles), "/srv/data:f_group=auth:f_mode#0640:f_type=r:\\\n\t:chkent:\n");
}

// The reader's stream stays open; then the file becomes unreadable. The
// writer must not take the database for empty.
TEST_F(FileControlTest, APutKeepsADatabaseItCannotRead) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take another identity";
    box.write(kFiles,
              "/etc/auth/system/files-t:f_group=users:f_mode#0664:f_type=r:chkent:\n"
              "/etc/passwd:f_mode#0644:f_type=r:chkent:\n");
    chown(box.path(kFiles).c_str(), 1000, 100);
    chmod(box.path("/etc/auth/system").c_str(), 0777);
    std::string files = box.path(kFiles);
    ChildResult r = run_child([&files] {
        gid_t users = 100;
        if (setgroups(1, &users) != 0 || setresgid(100, 100, 100) != 0 ||
            setresuid(1000, 1000, 1000) != 0)
            _exit(2);
        if (getprfinam("/etc/passwd") == nullptr || chmod(files.c_str(), 0) != 0) _exit(3);
        struct pr_file rec = Fields().mode(0600).type('r').record();
        printf("%d", putprfinam("/srv", &rec));
    });
    EXPECT_EQ(r.out, "0") << r.err;
    chmod(files.c_str(), 0644);
    EXPECT_EQ(box.read(kFiles).find("/srv"), std::string::npos);
    EXPECT_NE(box.read(kFiles).find("/etc/passwd:"), std::string::npos);
    EXPECT_FALSE(box.exists(std::string(kFiles) + "-t"));
}

}  // namespace
}  // namespace vant::test
