// Secure creation, replacement and update of databases, the return to the real identity, lockout.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "authdb/syscall_filter.h"
#include "authdb/update.h"
#include "support/child.h"
#include "support/crash.h"
#include "support/leftovers.h"
#include "support/naps.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using Args = std::vector<std::string>;
using authdb::UpdateResult;
using authdb::UpdateStep;

char kProgram[] = "vanttest";
char *kArgv[] = {kProgram, nullptr};

constexpr const char *kTtys = "/etc/auth/system/ttys";
constexpr const char *kTtysNew = "/etc/auth/system/ttys-t";
constexpr const char *kTtysOld = "/etc/auth/system/ttys-o";
constexpr const char *kNoMode = "/etc/auth/system/nomode-t";
constexpr const char *kNoOwner = "/etc/auth/system/noowner-t";
constexpr const char *kNowhere = "/etc/auth/nowhere/ttys-t";
constexpr const char *kCannotCreate = "Cannot securely create new file";
constexpr int kSkip = 77;  // a child's exit status when system-call filters are missing here

#define SKIP_WHEN_UNFILTERED(result) \
    if ((result).exit_status == kSkip) GTEST_SKIP() << "no system-call filters here"

class SecureFilesTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/auth/system/files",
                  "/etc/auth/system/ttys-t:f_owner=daemon:f_group=auth:f_mode#0640:chkent:\n"
                  "/etc/auth/system/nomode-t:f_owner=daemon:f_group=auth:chkent:\n"
                  "/etc/auth/system/noowner-t:f_group=auth:f_mode#0604:chkent:\n"
                  "/etc/auth/nowhere/ttys-t:f_group=auth:f_mode#0640:chkent:\n");
        box.install_recorder();
        if (starts()) set_auth_parameters(1, kArgv);
    }
    // Tests of the starting identity start the library themselves.
    virtual bool starts() const { return true; }
    struct stat status(const char *logical) const {
        struct stat st {};
        lstat(box.path(logical).c_str(), &st);
        return st;
    }
    std::vector<Args> records() const { return record_arguments(box.recorder_log()); }
};

class FreshIdentityTest : public SecureFilesTest {
  protected:
    bool starts() const override { return false; }
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to take another identity";
        SecureFilesTest::SetUp();
    }
};

int create(const char *path, int how) {
    return create_file_securely(path, how, "Create new file");
}

// Owner and group come from the entry, else from the real ids the program
// started with; an entry without a mode gives none.
TEST_F(FreshIdentityTest, CreatesTheFileAsItsFileControlEntrySays) {
    ChildResult r = run_child([] {
        if (setresuid(1000, 0, 0) != 0) _exit(2);
        set_auth_parameters(1, kArgv);
        for (const char *path : {kTtysNew, kNoOwner, kNoMode})
            printf("%d", create(path, 2));
        printf(" %zu", naps.delays.size());
    });
    ASSERT_EQ(r.out, "000 0") << r.err;
    for (auto [path, owner, mode] :
         {std::tuple{kTtysNew, 1u, 0640u}, {kNoOwner, 1000u, 0604u}, {kNoMode, 1u, 0u}}) {
        struct stat st = status(path);
        EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_size == 0) << path;
        EXPECT_EQ(st.st_mode & 07777, mode) << path;
        EXPECT_EQ(st.st_uid, owner) << path;
        EXPECT_EQ(st.st_gid, 21u) << path;
    }
    EXPECT_TRUE(records().empty());
}

TEST_F(SecureFilesTest, UnlistedFileOrMissingDirectoryFailsAtOnce) {
    const char *unlisted = "/etc/auth/system/unlisted-t";
    EXPECT_EQ(create(unlisted, 2), 2);
    EXPECT_EQ(create(kNowhere, 2), 1);
    EXPECT_FALSE(box.exists(unlisted));
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(records(), (std::vector<Args>{
                             {"16", unlisted, "could not obtain entry of file to create securely"},
                             {"1", kNowhere, kCannotCreate}}));
}

TEST_F(SecureFilesTest, PlantedLinkIsNeverFollowed) {
    box.write("/victim", "precious", 0600);
    ASSERT_EQ(symlink(box.path("/victim").c_str(), box.path(kTtysNew).c_str()), 0);
    EXPECT_EQ(create(kTtysNew, 1), 1);
    EXPECT_TRUE(naps.delays.empty());
    // A waiting writer watches the link itself and gives up on it.
    EXPECT_EQ(create(kTtysNew, 2), 1);
    EXPECT_EQ(naps.delays.size(), 19u);
    EXPECT_EQ(box.read("/victim"), "precious");
    EXPECT_EQ(status("/victim").st_mode & 07777, 0600u);
    EXPECT_TRUE(S_ISLNK(status(kTtysNew).st_mode));
}

// While the lookup waits for a File Control writer, another writer takes
// the name; it finishes after three more naps.
TEST_F(SecureFilesTest, WaitsForAWriterThatTakesTheNameFirst) {
    box.write("/etc/auth/system/files-t", "");
    naps.each = [files = box.path("/etc/auth/system/files-t"),
                 taken = box.path(kTtysNew)](size_t count) {
        if (count == 1) {
            close(open(taken.c_str(), O_CREAT | O_WRONLY, 0600));
            unlink(files.c_str());
        }
        if (count == 4) unlink(taken.c_str());
    };
    EXPECT_EQ(create(kTtysNew, 2), 0);
    EXPECT_EQ(naps.delays.size(), 4u);
    EXPECT_EQ(status(kTtysNew).st_mode & 07777, 0640u);
}

// Only how 2 waits; how 0 holds signals off only while it works.
TEST_F(SecureFilesTest, GivesUpOnAWriterThatDied) {
    box.write(kTtysNew, "stale");
    sigset_t before, after;
    sigprocmask(SIG_SETMASK, nullptr, &before);
    EXPECT_EQ(create(kTtysNew, 0), 1);
    EXPECT_EQ(create(kTtysNew, 1), 1);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(create(kTtysNew, 2), 1);
    EXPECT_EQ(naps.delays.size(), 19u);  // one look finds it new, 18 unchanged
    EXPECT_EQ(box.read(kTtysNew), "stale");
    EXPECT_EQ(records(), std::vector<Args>(3, {"1", kTtysNew, kCannotCreate}));
    box.remove(kTtysNew);
    EXPECT_EQ(create(kTtysNew, 0), 0);
    sigprocmask(SIG_SETMASK, nullptr, &after);
    for (int sig : {SIGINT, SIGTERM})
        EXPECT_EQ(sigismember(&after, sig), sigismember(&before, sig)) << sig;
}

TEST_F(SecureFilesTest, FailureToSetTheModeOrOwnerRemovesTheFile) {
    struct Row {
        std::initializer_list<long> calls;
        const char *code, *text;
    } rows[] = {{{VANT_CHMOD_CALLS}, "3", "Cannot change mode on newly created file"},
                {{VANT_CHOWN_CALLS}, "4", "Cannot set owner of newly created file"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        box.remove("/recorder.log");
        ChildResult r = run_child([&row] {
            if (!fail_syscalls(row.calls, EPERM)) _exit(kSkip);
            printf("%d", create(kTtysNew, 2));
        });
        SKIP_WHEN_UNFILTERED(r);
        EXPECT_EQ(r.out, row.code);
        EXPECT_FALSE(box.exists(kTtysNew));
        EXPECT_EQ(records(), (std::vector<Args>{{"1", kTtysNew, row.text}}));
    }
}

int replace() {
    return replace_file(strdup(kTtysNew), kTtys, strdup(kTtysOld));
}

// What happened, in order: steps of the update, and flushes to disk.
std::vector<int> events;
constexpr int kFsyncFile = 100, kFsyncDirectory = 101;

// The new version is flushed before the swap and the directory after it;
// a sync of every file system is never asked for.
TEST_F(SecureFilesTest, ReplacementFlushesWhatItMustAndNothingMore) {
    box.write(kTtys, "old\n");
    box.write(kTtysNew, "new\n");
    ChildResult r = run_child([] {
        authdb::set_update_step_hook([](UpdateStep s) { events.push_back(static_cast<int>(s)); });
        bool filtered = forbid_syscalls({VANT_SYNC_CALLS}) &&
                        trap_syscalls({VANT_FSYNC_CALLS}, [](long, long fd) {
                            struct stat st;
                            fstat(static_cast<int>(fd), &st);
                            events.push_back(S_ISDIR(st.st_mode) ? kFsyncDirectory : kFsyncFile);
                        });
        if (!filtered) _exit(kSkip);
        printf("%d:", replace());
        for (int e : events)
            printf(" %d", e);
    });
    SKIP_WHEN_UNFILTERED(r);
    std::string want = "1:";
    for (int e :
         {kFsyncFile, int(UpdateStep::new_version_synced), int(UpdateStep::old_version_linked),
          int(UpdateStep::renamed), int(UpdateStep::old_link_removed), kFsyncDirectory,
          int(UpdateStep::directory_synced)})
        want += " " + std::to_string(e);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, want);
    EXPECT_EQ(box.read(kTtys), "new\n");
}

TEST_F(SecureFilesTest, ReplacementKeepsTheOldVersionWhenTheNewCannotReachTheDiskOrItsName) {
    struct Row {
        std::initializer_list<long> calls;
        std::vector<std::string> left;
    } rows[] = {{{VANT_FSYNC_CALLS}, {}}, {{SYS_rename, SYS_renameat, SYS_renameat2}, {kTtysOld}}};
    for (const Row &row : rows) {
        box.write(kTtys, "old\n");
        box.write(kTtysNew, "new\n");
        ChildResult r = run_child([&row] {
            if (!fail_syscalls(row.calls, EIO)) _exit(kSkip);
            printf("%d", replace());
        });
        SKIP_WHEN_UNFILTERED(r);
        EXPECT_EQ(r.out, "0");
        EXPECT_EQ(box.read(kTtys), "old\n");
        EXPECT_EQ(left_behind(box), row.left);
        box.remove(kTtysOld);
    }
}

UpdateResult update(const char *path, const char *text, bool written = true) {
    return authdb::update_database(path, "make new database",
                                   [=](FILE *out) { return fputs(text, out) >= 0 && written; });
}

TEST_F(SecureFilesTest, UpdateKilledAtAnyStepLeavesTheDatabaseWholeOldOrNew) {
    expect_new_from_rename_on(kill_at_every_step(box, {{kTtys, "old\n", "new\n"}},
                                                 {.prepare = [this] { box.write(kTtys, "old\n"); },
                                                  .update = [] { update(kTtys, "new\n"); },
                                                  .after_kill = {}}));
}

TEST_F(SecureFilesTest, UpdateChangesNothingWhenItFailsOrCannotStart) {
    const char *unlisted = "/etc/auth/system/devassign";
    box.write(kTtys, "old\n");
    box.write(unlisted, "old\n");
    EXPECT_EQ(update(kTtys, "half", false), UpdateResult::failed);
    EXPECT_EQ(update(unlisted, "new\n"), UpdateResult::not_started);
    EXPECT_EQ(box.read(kTtys), "old\n");
    EXPECT_EQ(box.read(unlisted), "old\n");
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(SecureFilesTest, ResultTextsInEnglishAndFromTheCatalog) {
    const char *unknown = "unknown problem with secure file creation";
    EXPECT_STREQ(cfs_to_english_string(0), "Successfully and securely created file");
    EXPECT_STREQ(cfs_to_string(2), "File not listed in File Control database");
    EXPECT_STREQ(cfs_to_english_string(-1), unknown);
    start(box, {.built_catalog = true});
    set_auth_msg(VANT_MSG_CATALOG);
    EXPECT_STREQ(cfs_to_string(2), "file not listed in File Control database");
    EXPECT_STREQ(cfs_to_string(9), unknown);
    EXPECT_STREQ(cfs_to_english_string(2), "File not listed in File Control database");
}

TEST_F(FreshIdentityTest, FailureToResetTheUserIsAuditedAndFatal) {
    ChildResult r = run_child([] {
        if (setresuid(1000, 0, 0) != 0) _exit(2);
        if (!fail_syscalls({SYS_setuid, SYS_setreuid, SYS_setresuid}, EPERM)) _exit(kSkip);
        set_auth_parameters(1, kArgv);
        setuid_least_privilege();
        _exit(0);
    });
    SKIP_WHEN_UNFILTERED(r);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find("cannot reset real uid"), std::string::npos) << r.err;
    EXPECT_EQ(records(), (std::vector<Args>{{"5", "1000", "0", "restore RUID on setuid program",
                                             "Cannot implement least privilege"}}));
}

TEST_F(FreshIdentityTest, FailureToResetTheGroupIsStoredForTheProgram) {
    ChildResult r = run_child([] {
        if (setresgid(100, 0, 0) != 0) _exit(2);
        if (!fail_syscalls({SYS_setgid, SYS_setregid, SYS_setresgid}, EPERM)) _exit(kSkip);
        set_auth_parameters(1, kArgv);
        set_auth_msg(VANT_MSG_STORE);
        int result = setuid_least_privilege();
        char *text = nullptr;
        int severity = get_auth_msg(&text);
        printf("%d %d %s", result, severity, text != nullptr ? text : "");
    });
    SKIP_WHEN_UNFILTERED(r);
    EXPECT_EQ(r.out, "-1 2 cannot reset real gid");
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0][3], "restore RGID on setuid program");
}

// A field set in the entry (user) or in the system default; a last change
// is given in seconds ago.
struct Field {
    bool user;
    uint32_t flag;
    int32_t value;
};

struct pr_passwd account(std::initializer_list<Field> fields) {
    struct pr_passwd pr {};
    strcpy(pr.ufld.u_name, "alice");
    for (const Field &f : fields) {
        struct pr_field &at = f.user ? pr.ufld : pr.sfld;
        if (f.user)
            PR_SET(pr.uflg, f.flag);
        else
            PR_SET(pr.sflg, f.flag);
        if (f.flag == PR_U_MAXTRIES) at.u_maxtries = static_cast<uint16_t>(f.value);
        if (f.flag == PR_U_NUMUNSUCLOG) at.u_numunsuclog = static_cast<int16_t>(f.value);
        if (f.flag == PR_U_LOCK) at.u_lock = static_cast<unsigned char>(f.value);
        if (f.flag == PR_U_SUCCHG) at.u_succhg = static_cast<int32_t>(time(nullptr)) - f.value;
        if (f.flag == PR_U_LIFE) at.u_life = f.value;
    }
    return pr;
}

constexpr bool U = true, S = false;

// Each field comes from the entry when its user flag is set, else from the
// system default when its system flag is.
TEST_F(SecureFilesTest, TheLockoutRule) {
    struct Row {
        const char *what;
        std::initializer_list<Field> fields;
        int locked;
    } rows[] = {
        {"failures reach the entry's tries", {{U, PR_U_MAXTRIES, 3}, {U, PR_U_NUMUNSUCLOG, 3}}, 1},
        {"beyond the default's tries", {{S, PR_U_MAXTRIES, 3}, {U, PR_U_NUMUNSUCLOG, 4}}, 1},
        {"the entry's unlock wins", {{S, PR_U_LOCK, 1}, {U, PR_U_LOCK, 0}}, 0},
        {"lifetime over", {{U, PR_U_SUCCHG, 200}, {S, PR_U_LIFE, 100}}, 1},
        {"last change only by default", {{S, PR_U_SUCCHG, 200}, {S, PR_U_LIFE, 100}}, 0},
        {"lifetime past 2038", {{U, PR_U_SUCCHG, 0}, {U, PR_U_LIFE, INT32_MAX}}, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        struct pr_passwd pr = account(row.fields);
        EXPECT_EQ(locked_out(&pr), row.locked);
    }
}

TEST_F(SecureFilesTest, LockoutIsAuditedTwice) {
    box.write("/dev/auditw", "");
    struct pr_passwd pr = account({{U, PR_U_MAXTRIES, 3}, {U, PR_U_NUMUNSUCLOG, 5}});
    ASSERT_EQ(locked_out(&pr), 1);
    EXPECT_EQ(records(),
              (std::vector<Args>{{"14", "alice", "account lockout denies account access"}}));
    std::string lock = box.read("/dev/auditw");
    ASSERT_EQ(lock.size(), 36u);
    EXPECT_EQ(lock.substr(20, 5), "alice");
    EXPECT_EQ(lock[32], 1);
    EXPECT_EQ(lock[34], 5);
}

}  // namespace
}  // namespace vant::test
