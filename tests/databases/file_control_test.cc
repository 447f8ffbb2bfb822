// Tests of the File Control database: its codec, its readers over a file
// and over the built-in table, and its update.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "authdb/authcap.h"
#include "authdb/update.h"
#include "databases/file_control.h"
#include "platform/clock.h"
#include "support/child.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace {

struct Naps {
    size_t count = 0;
    long divisor = 1000;  // how much shorter than asked a nap is
};
Naps naps;

}  // namespace

// Replaces the library's nap: waits are cut short.
static void fake_nap(long milliseconds) {
    ++naps.count;
    usleep(static_cast<useconds_t>(milliseconds * 1000 / naps.divisor));
}
[[maybe_unused]] static const bool nap_replaced =
    (vant::platform::set_sleep_function(fake_nap), true);

namespace vant::test {
namespace {

using databases::fakefcdb;
using databases::read_fi_fields;
using databases::store_fi_fields;

char kProgram[] = "vanttest";
char *kArgv[] = {kProgram, nullptr};

constexpr const char *kFiles = "/etc/auth/system/files";
constexpr const char *kFilesNew = "/etc/auth/system/files-t";
constexpr const char *kFilesOld = "/etc/auth/system/files-o";

// Every user and group the built-in table names.
constexpr const char *kPasswd =
    "root:x:0:0:root:/root:/bin/sh\n"
    "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
    "bin:x:2:2:bin:/bin:/usr/sbin/nologin\n"
    "auth:x:7:21:auth:/tcb/files/auth:/usr/sbin/nologin\n"
    "alice:x:1000:100:Alice:/home/alice:/bin/sh\n";
constexpr const char *kGroup =
    "root:x:0:\nbin:x:2:\nadm:x:4:\ntty:x:5:\ndisk:x:6:\nlp:x:7:\nmail:x:8:\nkmem:x:15:\n"
    "dialout:x:20:\nauth:x:21:\nshadow:x:42:\nutmp:x:43:\nusers:x:100:alice\n";

constexpr const char *kDatabase =
    "# File Control database of the sandbox\n"
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

  private:
    template <typename T>
    Fields &set(unsigned flag, T) {
        PR_F_SET(flags, flag);
        return *this;
    }
};

// What store_fi_fields writes, or "FAILED" followed by what it wrote.
std::string stored(const char *name, const Fields &x) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    int ok = store_fi_fields(out, name, &x.f, &x.flags);
    fclose(out);
    std::string result = (ok == 1 ? "" : "FAILED ") + std::string(text, size);
    free(text);
    return result;
}

// The entry text as the reader hands it over: lines joined.
std::string joined(std::string text) {
    for (size_t at; (at = text.find("\\\n")) != std::string::npos;)
        text.erase(at, 2);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

class FileControlTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/passwd", kPasswd);
        box.write("/etc/group", kGroup);
        box.write(kFiles, kDatabase, 0664);
        box.install_recorder();
        if (starts()) set_auth_parameters(1, kArgv);
    }
    virtual bool starts() const { return true; }

    // Runs without the database, on the built-in table.
    void fake_files() {
        box.remove(kFiles);
        box.write("/etc/default/security", "TCBFILES=OFF\n");
    }

    std::vector<std::vector<std::string>> records() const {
        std::vector<std::vector<std::string>> all;
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (d.args.size() > 9) all.emplace_back(d.args.begin() + 9, d.args.end());
        return all;
    }
};

// ---------------------------------------------------------------------
// The codec

TEST_F(FileControlTest, StoreWritesFieldsInTableOrderFourItemsToALine) {
    Fields all;
    all.owner(2).group(21).mode(0755).type('r').size(1234).mtime(5).ctime(6).cksum(31);
    EXPECT_EQ(stored("/usr/bin/x", all),
              "/usr/bin/x:f_owner=bin:f_group=auth:f_mode#0755:\\\n"
              "\t:f_type=r:f_size#1234:f_mtime#5:f_ctime#6:\\\n"
              "\t:f_cksum#0x1f:chkent:\n");
    EXPECT_EQ(stored("/x", Fields().type('d').mode(0700)), "/x:f_mode#0700:f_type=d:chkent:\n");
    EXPECT_EQ(stored("/x", Fields()), "/x:chkent:\n");
}

TEST_F(FileControlTest, StoreFailsForAnIdWithoutANameAndWritesNothingMore) {
    EXPECT_EQ(stored("/x", Fields().owner(4242).mode(0644)), "FAILED /x:");
    EXPECT_EQ(stored("/x", Fields().owner(0).group(4242).mode(0644)), "FAILED /x:f_owner=root:");
    FILE *read_only = fopen(box.path(kFiles).c_str(), "r");
    Fields x = Fields().mode(0644);
    EXPECT_EQ(store_fi_fields(read_only, "/x", &x.f, &x.flags), 0);
    fclose(read_only);
}

TEST_F(FileControlTest, ReadDecodesWhatStoreWrote) {
    Fields all;
    all.owner(2)
        .group(21)
        .mode(04755)
        .type('r')
        .size(4000000000u)
        .mtime(-1)
        .ctime(6)
        .cksum(0xdeadbeef);
    std::string text = joined(stored("/usr/bin/x", all));
    struct f_field f;
    struct f_flag flags;
    ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
    EXPECT_STREQ(f.f_name, "/usr/bin/x");
    EXPECT_EQ(flags.word, all.flags.word | PR_F_NAME);
    EXPECT_EQ(f.f_owner, 2);
    EXPECT_EQ(f.f_group, 21);
    EXPECT_EQ(f.f_mode, 04755);
    EXPECT_EQ(f.f_type, 'r');
    EXPECT_EQ(f.f_size, 4000000000u);
    EXPECT_EQ(f.f_mtime, -1);
    EXPECT_EQ(f.f_ctime, 6);
    EXPECT_EQ(f.f_cksum, 0xdeadbeefu);
}

TEST_F(FileControlTest, ReadTakesNumbersInThreeBasesAndSkipsOtherFields) {
    std::string text =
        "/x: :\t:f_other=1:f_size#0x10:f_mtime#010:f_ctime#16:f_mode#0200755:chkent:";
    struct f_field f;
    struct f_flag flags;
    ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0);
    EXPECT_EQ(f.f_size, 16u);
    EXPECT_EQ(f.f_mtime, 8);
    EXPECT_EQ(f.f_ctime, 16);
    EXPECT_EQ(f.f_mode, 0755) << "the mode keeps 16 bits";
    EXPECT_EQ(flags.word, PR_F_NAME | PR_F_SIZE | PR_F_MTIME | PR_F_CTIME | PR_F_MODE);

    std::string nameless = ":f_mode#0644:chkent:";
    ASSERT_EQ(read_fi_fields(&f, &flags, nameless.data()), 0);
    EXPECT_EQ(f.f_name, nullptr);
    EXPECT_EQ(flags.word, PR_F_MODE);
}

TEST_F(FileControlTest, ReadRejectsMalformedEntries) {
    for (std::string text : {
             "/x:f_owner@:f_mode#0644:chkent:",      // cancelled
             "/x:f_mode=0644:f_type=r:chkent:",      // wrong separator
             "/x:f_type#1:f_mode#0644:chkent:",      // wrong separator
             "/x:f_owner=nobody:f_type=r:chkent:",   // unknown user
             "/x:f_group=nogroup:f_type=r:chkent:",  // unknown group
             "/x:f_owner=root:f_mode#0644",          // no closing colon
             "/x",                                   // no name field
         }) {
        struct f_field f;
        struct f_flag flags;
        EXPECT_EQ(read_fi_fields(&f, &flags, text.data()), 1) << text;
    }
}

// ---------------------------------------------------------------------
// Reading the database file

TEST_F(FileControlTest, LookupTakesTheFirstMatchInFileOrder) {
    struct pr_file *pr = getprfinam("/dev/tty01");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.f_name, "/dev/tty*");
    EXPECT_EQ(pr->ufld.f_group, 5);
    EXPECT_EQ(pr->ufld.f_mode, 0620);

    pr = getprfinam("/etc/passwd");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.f_owner, 2);
    EXPECT_EQ(pr->ufld.f_type, 'r');

    pr = getprfinam("/tcb/files/auth/a/alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_FALSE(PR_F_ISSET(pr->uflg, PR_F_OWNER));
    EXPECT_EQ(getprfinam("/etc/group"), nullptr);
    EXPECT_EQ(getprfinam("/tcb/files/auth/a/alice/x"), nullptr);
}

TEST_F(FileControlTest, SequentialPassReturnsEveryEntryThenNull) {
    std::vector<std::string> names;
    while (struct pr_file *pr = getprfient())
        names.push_back(pr->ufld.f_name);
    EXPECT_EQ(names, (std::vector<std::string>{"/etc/auth/system/files-t", "/etc/passwd",
                                               "/dev/tty*", "/dev/tty01", "/tcb/files/auth/?/*"}));
    EXPECT_EQ(getprfient(), nullptr);
    setprfient();
    ASSERT_NE(getprfient(), nullptr);
    EXPECT_STREQ(getprfient()->ufld.f_name, "/etc/passwd");
}

TEST_F(FileControlTest, ReaderSeesAReplacementEvenWithinTheSameSecond) {
    ASSERT_NE(getprfinam("/etc/passwd"), nullptr);
    struct stat old;
    stat(box.path(kFiles).c_str(), &old);
    box.write("/etc/auth/system/files.new", "/etc/passwd:f_mode#0600:f_type=r:chkent:\n");
    struct timespec times[2] = {old.st_atim, old.st_mtim};
    utimensat(AT_FDCWD, box.path("/etc/auth/system/files.new").c_str(), times, 0);
    rename(box.path("/etc/auth/system/files.new").c_str(), box.path(kFiles).c_str());
    struct pr_file *pr = getprfinam("/etc/passwd");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.f_mode, 0600);
}

// ---------------------------------------------------------------------
// The built-in table

int builtin_count() {
    int n = 0;
    while (fakefcdb[n] != nullptr)
        ++n;
    return n;
}

std::vector<std::string> names_of(const char *entry) {
    std::vector<std::string> names;
    std::istringstream field(std::string(entry, strcspn(entry, ":")));
    for (std::string name; std::getline(field, name, '|');)
        names.push_back(name);
    return names;
}

TEST_F(FileControlTest, BuiltInTableGivesTheFirstMatch) {
    fake_files();
    struct pr_file *pr = getprfinam("/tcb/files/auth/a/alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.f_name, "/tcb/files/auth/?/*");
    EXPECT_EQ(pr->uflg.word, PR_F_NAME | PR_F_GROUP | PR_F_MODE | PR_F_TYPE) << "no owner";

    struct Want {
        const char *path, *name;
        int owner, group;
        uint16_t mode;
        char type;
    };
    for (const Want &w : {
             Want{"/etc/passwd", "/etc/passwd", 2, 21, 0664, 'r'},
             Want{"/etc/group", "/etc/group", 2, 21, 0664, 'r'},
             Want{"/etc/shadow", "/etc/shadow", 0, 21, 0660, 'r'},
             Want{"/etc/default/passwd", "/etc/default/passwd", 2, 21, 0664, 'r'},
             Want{"/etc/default/login", "/etc/default/login", 2, 21, 0664, 'r'},
             Want{"/etc/default/useradd", "/etc/default/*", 0, 0, 0644, 'r'},
             Want{"/dev/ttyS0", "/dev/ttyS*", 0, 20, 0660, 'c'},
             Want{"/dev/tty3", "/dev/tty*", 0, 5, 0620, 'c'},
             Want{"/etc/auth/system/files-t", "/etc/auth/system/files-t", 0, 21, 0664, 'r'},
             Want{"/etc/auth/system/pw_id_map", "/etc/auth/system/pw_id_map", 7, 21, 0664, 'r'},
             Want{"/tcb/files/auth/b", "/tcb/files/auth/?", 0, 21, 0775, 'd'},
             Want{"/tcb/files/auth/a/alice", "/tcb/files/auth/?/*", 0, 21, 0660, 'r'},
         }) {
        pr = getprfinam(w.path);
        ASSERT_NE(pr, nullptr) << w.path;
        EXPECT_STREQ(pr->ufld.f_name, w.name);
        EXPECT_EQ(pr->ufld.f_owner, w.owner) << w.path;
        EXPECT_EQ(pr->ufld.f_group, w.group) << w.path;
        EXPECT_EQ(pr->ufld.f_mode, w.mode) << w.path;
        EXPECT_EQ(pr->ufld.f_type, w.type) << w.path;
    }
    EXPECT_EQ(getprfinam("/etc/auth/system/unlisted"), nullptr);
}

TEST_F(FileControlTest, BuiltInTableListsTheLibrarysOwnFiles) {
    fake_files();
    for (const char *path : {"/etc/auth/system/files",
                             "/etc/auth/system/files-o",
                             "/etc/auth/system/ttys",
                             "/etc/auth/system/ttys-t",
                             "/etc/auth/system/ttys-o",
                             "/etc/auth/system/default",
                             "/etc/auth/system/default-t",
                             "/etc/auth/system/default-o",
                             "/etc/auth/system/devassign",
                             "/etc/auth/system/devassign-t",
                             "/etc/auth/system/devassign-o",
                             "/etc/auth/system/gr_id_map",
                             "/etc/auth/system/authorize",
                             "/etc/auth/subsystems",
                             "/etc/auth/subsystems/lp",
                             "/etc/auth/subsystems/lp-t",
                             "/etc/auth/subsystems/dflt_users-t",
                             "/tcb/files/auth",
                             "/tcb/files/auth/a/alice-t",
                             "/etc/default/security",
                             "/dev/auditw"})
        EXPECT_NE(getprfinam(path), nullptr) << path;
}

TEST_F(FileControlTest, BuiltInTableHasNoNameBehindAPatternThatCoversIt) {
    for (int i = 0; fakefcdb[i] != nullptr; ++i) {
        for (const std::string &name : names_of(fakefcdb[i]))
            for (int j = 0; j < i; ++j)
                EXPECT_FALSE(authdb::match_file(name.c_str(), fakefcdb[j]))
                    << name << " stands behind " << fakefcdb[j];
    }
}

TEST_F(FileControlTest, EveryBuiltInEntryIsOneLineWithModeAndType) {
    for (int i = 0; fakefcdb[i] != nullptr; ++i) {
        std::string text = fakefcdb[i];
        EXPECT_EQ(text.find_first_of("\n\\"), std::string::npos) << text;
        EXPECT_EQ(text.substr(text.size() - 7), "chkent:") << text;
        struct f_field f;
        struct f_flag flags;
        ASSERT_EQ(read_fi_fields(&f, &flags, text.data()), 0) << fakefcdb[i];
        EXPECT_TRUE(PR_F_ISSET(flags, PR_F_MODE) && PR_F_ISSET(flags, PR_F_TYPE)) << fakefcdb[i];
        EXPECT_NE(std::string("rdcbf").find(f.f_type), std::string::npos) << fakefcdb[i];
    }
}

TEST_F(FileControlTest, SequentialPassOverTheBuiltInTable) {
    fake_files();
    int n = 0;
    while (struct pr_file *pr = getprfient()) {
        ASSERT_LT(n, builtin_count());
        EXPECT_EQ(pr->ufld.f_name, names_of(fakefcdb[n])[0]);
        ++n;
    }
    EXPECT_EQ(n, builtin_count());
    EXPECT_EQ(getprfient(), nullptr);
    struct pr_file *pr = getprfinam("/etc/passwd");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->uflg.word, PR_F_NAME | PR_F_OWNER | PR_F_GROUP | PR_F_MODE | PR_F_TYPE);
    EXPECT_EQ(pr->ufld.f_owner, 2);
}

TEST_F(FileControlTest, WithoutTheSwitchThereIsNoBuiltInTable) {
    box.remove(kFiles);
    EXPECT_EQ(getprfinam("/etc/passwd"), nullptr);
    EXPECT_EQ(getprfient(), nullptr);
    EXPECT_EQ(create_file_securely("/etc/auth/system/ttys-t", 2, "Create new file"), 2);
}

TEST_F(FileControlTest, SecureCreationAndUpdateWorkFromTheBuiltInTable) {
    fake_files();
    box.mkdir("/tcb/files/auth/a");
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

// ---------------------------------------------------------------------
// Updating

TEST_F(FileControlTest, PutReplacesTheEntryWhereItStood) {
    struct pr_file rec = Fields().owner(0).group(21).mode(0644).type('r').record();
    EXPECT_EQ(putprfinam("/etc/passwd", &rec), 1);
    EXPECT_EQ(box.read(kFiles),
              "# File Control database of the sandbox\n"
              "/etc/auth/system/files-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
              "/etc/passwd:f_owner=root:f_group=auth:f_mode#0644:\\\n"
              "\t:f_type=r:chkent:\n"
              "/dev/tty*:f_owner=root:f_group=tty:f_mode#0620:f_type=c:chkent:\n"
              "/dev/tty01:f_owner=root:f_group=root:f_mode#0600:f_type=c:chkent:\n"
              "# patterns cover families of files\n"
              "/tcb/files/auth/?/*:f_group=auth:f_mode#0660:f_type=r:chkent:\n");
    EXPECT_FALSE(box.exists(kFilesNew));
    EXPECT_FALSE(box.exists(kFilesOld));
}

TEST_F(FileControlTest, PutAppendsANewName) {
    struct pr_file rec = Fields().mode(0755).type('d').cksum(31).record();
    EXPECT_EQ(putprfinam("/srv", &rec), 1);
    EXPECT_EQ(box.read(kFiles),
              std::string(kDatabase) + "/srv:f_mode#0755:f_type=d:f_cksum#0x1f:\\\n\t:chkent:\n");
    struct pr_file *pr = getprfinam("/srv");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.f_cksum, 31u);
}

TEST_F(FileControlTest, PutOfTheReadersOwnRecordWritesThatRecord) {
    struct pr_file *pr = getprfinam("/etc/passwd");
    ASSERT_NE(pr, nullptr);
    pr->ufld.f_mode = 0600;
    // Creating the new file reads another entry into the same storage.
    EXPECT_EQ(putprfinam(pr->ufld.f_name, pr), 1);
    std::string text = box.read(kFiles);
    EXPECT_NE(text.find("\n/etc/passwd:f_owner=bin:f_group=auth:f_mode#0600:\\\n\t:f_type=r:"
                        "chkent:\n/dev/tty*:"),
              std::string::npos)
        << text;
}

TEST_F(FileControlTest, PutFailsCleanlyForAnOwnerWithoutAName) {
    struct pr_file rec = Fields().owner(4242).mode(0644).record();
    EXPECT_EQ(putprfinam("/etc/passwd", &rec), 0);
    EXPECT_EQ(box.read(kFiles), kDatabase);
    EXPECT_FALSE(box.exists(kFilesNew));
    EXPECT_EQ(
        records(),
        (std::vector<std::vector<std::string>>{{"16", "/etc/passwd", "cannot update entry"}}));
}

class FreshFileControlTest : public FileControlTest {
  protected:
    bool starts() const override { return false; }
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to take another identity";
        FileControlTest::SetUp();
    }
};

TEST_F(FreshFileControlTest, PutKeepsADatabaseItCannotRead) {
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
        set_auth_parameters(1, kArgv);
        // The reader's stream stays open; then the file becomes unreadable.
        if (getprfinam("/etc/passwd") == nullptr || chmod(files.c_str(), 0) != 0) _exit(3);
        struct pr_file rec = Fields().mode(0600).type('r').record();
        printf("%d", putprfinam("/srv", &rec));
    });
    EXPECT_EQ(r.out, "0") << r.err;
    chmod(files.c_str(), 0644);
    EXPECT_EQ(box.read(kFiles).find("/srv"), std::string::npos);
    EXPECT_NE(box.read(kFiles).find("/etc/passwd:"), std::string::npos);
    EXPECT_FALSE(box.exists(kFilesNew));
}

// ---------------------------------------------------------------------
// Reliability

authdb::UpdateStep kill_at;

TEST_F(FileControlTest, WriterKilledAtAnyStepLeavesTheDatabaseWholeOldOrNew) {
    using authdb::UpdateStep;
    const std::string added = "/srv:f_mode#0755:f_type=d:chkent:\n";
    for (int s = 0; s <= static_cast<int>(UpdateStep::directory_synced); ++s) {
        SCOPED_TRACE("killed at step " + std::to_string(s));
        box.write(kFiles, kDatabase, 0664);
        kill_at = static_cast<UpdateStep>(s);
        ChildResult r = run_child([] {
            authdb::set_update_step_hook([](UpdateStep step) {
                if (step == kill_at) raise(SIGKILL);
            });
            struct pr_file rec = Fields().mode(0755).type('d').record();
            putprfinam("/srv", &rec);
        });
        ASSERT_EQ(r.signal, SIGKILL);
        bool swapped = s >= static_cast<int>(UpdateStep::renamed);
        EXPECT_EQ(box.read(kFiles), swapped ? kDatabase + added : std::string(kDatabase));

        // A dead writer's transition file holds the next one off until
        // it is removed.
        struct pr_file rec = Fields().mode(0700).type('d').record();
        if (box.exists(kFilesNew)) {
            EXPECT_EQ(putprfinam("/srv/next", &rec), 0);
            EXPECT_TRUE(box.exists(kFilesNew));
            ASSERT_FALSE(records().empty());
            EXPECT_EQ(records().back(), (std::vector<std::string>{
                                            "1", kFilesNew, "Cannot securely create new file"}));
            box.remove(kFilesNew);
        }
        EXPECT_EQ(putprfinam("/srv/next", &rec), 1);
        ASSERT_NE(getprfinam("/srv/next"), nullptr);
        EXPECT_EQ(getprfinam("/srv/next")->ufld.f_mode, 0700);
        EXPECT_FALSE(box.exists(kFilesOld));
        EXPECT_FALSE(box.exists(kFilesNew));
    }
}

TEST_F(FileControlTest, ConcurrentWritersLoseNoEntry) {
    constexpr int kWriters = 6;
    constexpr int kPuts = 8;
    naps.divisor = 10;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        std::string results = box.path("/results-" + std::to_string(w));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // All start together, once the gate closes.
            close(gate[1]);
            char c;
            while (read(gate[0], &c, 1) > 0) {
            }
            FILE *out = fopen(results.c_str(), "w");
            for (int k = 0; k < kPuts; ++k) {
                std::string name = "/srv/w" + std::to_string(w) + "/f" + std::to_string(k);
                struct pr_file rec = Fields().mode(static_cast<uint16_t>(0600 + k)).record();
                fprintf(out, "%s %d\n", name.c_str(), putprfinam(name.c_str(), &rec));
                fflush(out);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::set<std::string> landed, failed;
    for (int w = 0; w < kWriters; ++w) {
        std::istringstream in(box.read("/results-" + std::to_string(w)));
        std::string name;
        int result;
        int seen = 0;
        while (in >> name >> result) {
            (result == 1 ? landed : failed).insert(name);
            ++seen;
        }
        EXPECT_EQ(seen, kPuts) << "writer " << w;
    }
    EXPECT_FALSE(landed.empty());
    std::set<std::string> present;
    int entries = 0;
    while (struct pr_file *pr = getprfient()) {
        ++entries;
        present.insert(pr->ufld.f_name);
    }
    EXPECT_EQ(entries, 5 + static_cast<int>(landed.size())) << box.read(kFiles);
    for (const std::string &name : landed)
        EXPECT_TRUE(present.count(name)) << name << " was lost";
    for (const std::string &name : failed)
        EXPECT_FALSE(present.count(name)) << name << " failed but landed";
    EXPECT_FALSE(box.exists(kFilesNew));
    EXPECT_FALSE(box.exists(kFilesOld));
}

}  // namespace
}  // namespace vant::test
