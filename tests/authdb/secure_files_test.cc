// Tests of secure file creation, database replacement, the update protocol,
// the return to the real identity, and the lockout test.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
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

constexpr const char *kFiles = "/etc/auth/system/files";
constexpr const char *kTtys = "/etc/auth/system/ttys";
constexpr const char *kTtysNew = "/etc/auth/system/ttys-t";
constexpr const char *kTtysOld = "/etc/auth/system/ttys-o";
constexpr const char *kNoMode = "/etc/auth/system/nomode-t";
constexpr const char *kNoOwner = "/etc/auth/system/noowner-t";
constexpr const char *kNowhere = "/etc/auth/nowhere/ttys-t";

constexpr const char *kFileControl =
    "# the transition files of the sandbox's databases\n"
    "/etc/auth/system/ttys-t:f_owner=daemon:f_group=auth:f_mode#0640:f_type=r:chkent:\n"
    "/etc/auth/system/nomode-t:f_owner=daemon:f_group=auth:f_type=r:chkent:\n"
    "/etc/auth/system/noowner-t:f_group=auth:f_mode#0604:f_type=r:chkent:\n"
    "/etc/auth/nowhere/ttys-t:f_group=auth:f_mode#0640:f_type=r:chkent:\n";

constexpr const char *kCannotCreate = "Cannot securely create new file";

// The exit status by which a child says that a facility is missing here.
constexpr int kSkip = 77;

class SecureFilesTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write(kFiles, kFileControl);
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

#define SKIP_WHEN_UNFILTERED(result) \
    if ((result).exit_status == kSkip) GTEST_SKIP() << "no system-call filters here"

// ---------------------------------------------------------------------
// Secure creation

TEST_F(SecureFilesTest, CreatesTheFileAsItsFileControlEntrySays) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the file to daemon";
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "make new Terminal Control database"), 0);
    struct stat st = status(kTtysNew);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 1u);
    EXPECT_EQ(st.st_gid, 21u);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(SecureFilesTest, FileNotListedIsNeverCreated) {
    const char *path = "/etc/auth/system/unlisted-t";
    EXPECT_EQ(create_file_securely(path, 2, "Create new file"), 2);
    EXPECT_FALSE(box.exists(path));
    EXPECT_EQ(
        records(),
        (std::vector<Args>{{"16", path, "could not obtain entry of file to create securely"}}));
}

TEST_F(FreshIdentityTest, EntryWithoutModeOrOwnerGivesModeZeroAndTheRealUser) {
    ChildResult r = run_child([] {
        if (setresuid(1000, 0, 0) != 0) _exit(2);
        set_auth_parameters(1, kArgv);
        printf("%d %d", create_file_securely(kNoOwner, 2, "Create new file"),
               create_file_securely(kNoMode, 2, "Create new file"));
    });
    ASSERT_EQ(r.out, "0 0") << r.err;
    struct stat no_owner = status(kNoOwner);
    EXPECT_EQ(no_owner.st_uid, 1000u);
    EXPECT_EQ(no_owner.st_gid, 21u);
    EXPECT_EQ(no_owner.st_mode & 07777, 0604u);
    struct stat no_mode = status(kNoMode);
    EXPECT_EQ(no_mode.st_uid, 1u);
    EXPECT_EQ(no_mode.st_mode & 07777, 0u);
}

TEST_F(SecureFilesTest, MissingDirectoryFailsAtOnce) {
    EXPECT_EQ(create_file_securely(kNowhere, 2, "Create new file"), 1);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(records(), (std::vector<Args>{{"1", kNowhere, kCannotCreate}}));
}

TEST_F(SecureFilesTest, PlantedLinkIsNeverFollowed) {
    box.write("/victim", "precious", 0600);
    ASSERT_EQ(symlink(box.path("/victim").c_str(), box.path(kTtysNew).c_str()), 0);
    ASSERT_EQ(symlink(box.path("/through").c_str(), box.path(kNoMode).c_str()), 0);
    EXPECT_EQ(create_file_securely(kTtysNew, 1, "Create new file"), 1);
    EXPECT_EQ(create_file_securely(kNoMode, 1, "Create new file"), 1);
    EXPECT_TRUE(naps.delays.empty());
    // A waiting writer watches the link itself and gives up on it.
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "Create new file"), 1);
    EXPECT_EQ(naps.delays.size(), 19u);
    EXPECT_EQ(box.read("/victim"), "precious");
    EXPECT_EQ(status("/victim").st_mode & 07777, 0600u);
    EXPECT_FALSE(box.exists("/through"));
    EXPECT_TRUE(S_ISLNK(status(kTtysNew).st_mode));
}

std::string live_writer_file;

TEST_F(SecureFilesTest, WaitsForAWriterWhoseFileKeepsChanging) {
    box.write(kTtysNew, "");
    live_writer_file = box.path(kTtysNew);
    naps.each = [](size_t count) {
        if (count == 30) {
            unlink(live_writer_file.c_str());
            return;
        }
        struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(100000 + count), 0}};
        utimensat(AT_FDCWD, live_writer_file.c_str(), times, 0);
    };
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "Create new file"), 0);
    EXPECT_EQ(naps.delays.size(), 30u);
}

std::string taken_name, files_writer;

TEST_F(SecureFilesTest, WaitsForAWriterThatTakesTheNameFirst) {
    // While the lookup waits for a File Control writer, another writer
    // takes the name; it finishes after three more naps.
    box.write("/etc/auth/system/files-t", "");
    files_writer = box.path("/etc/auth/system/files-t");
    taken_name = box.path(kTtysNew);
    naps.each = [](size_t count) {
        if (count == 1) {
            close(open(taken_name.c_str(), O_CREAT | O_WRONLY, 0600));
            unlink(files_writer.c_str());
        }
        if (count == 4) unlink(taken_name.c_str());
    };
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "Create new file"), 0);
    EXPECT_EQ(naps.delays.size(), 4u);
    EXPECT_EQ(status(kTtysNew).st_mode & 07777, 0640u);
}

TEST_F(SecureFilesTest, GivesUpOnAWriterThatDied) {
    box.write(kTtysNew, "stale");
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "Create new file"), 1);
    EXPECT_EQ(box.read(kTtysNew), "stale");
    EXPECT_EQ(records(), (std::vector<Args>{{"1", kTtysNew, kCannotCreate}}));
    // One look finds the file new, then 18 find it unchanged.
    ASSERT_EQ(naps.delays.size(), 19u);
    EXPECT_GE(naps.delays[0], 50);
    EXPECT_LE(naps.delays[0], 249);
    for (size_t i = 1; i < naps.delays.size(); ++i) {
        long step = naps.delays[i] - naps.delays[i - 1];
        EXPECT_TRUE(naps.delays[i] == 750 || (step >= 50 && step <= 249)) << i;
        EXPECT_LE(naps.delays[i], 1000);
    }
    box.remove(kTtysNew);
    EXPECT_EQ(create_file_securely(kTtysNew, 2, "Create new file"), 0);
}

TEST_F(SecureFilesTest, OnlyHowTwoWaitsAndHowZeroRestoresTheSignalMask) {
    box.write(kTtysNew, "stale");
    sigset_t before, after;
    sigprocmask(SIG_SETMASK, nullptr, &before);
    EXPECT_EQ(create_file_securely(kTtysNew, 0, "Create new file"), 1);
    EXPECT_EQ(create_file_securely(kTtysNew, 1, "Create new file"), 1);
    EXPECT_TRUE(naps.delays.empty());
    box.remove(kTtysNew);
    EXPECT_EQ(create_file_securely(kTtysNew, 0, "Create new file"), 0);
    sigprocmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGINT), sigismember(&before, SIGINT));
    EXPECT_EQ(sigismember(&after, SIGTERM), sigismember(&before, SIGTERM));
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
            printf("%d", create_file_securely(kTtysNew, 2, "Create new file"));
        });
        SKIP_WHEN_UNFILTERED(r);
        EXPECT_EQ(r.out, row.code);
        EXPECT_FALSE(box.exists(kTtysNew));
        EXPECT_EQ(records(), (std::vector<Args>{{"1", kTtysNew, row.text}}));
    }
}

// ---------------------------------------------------------------------
// Replacement

class ReplaceFileTest : public SecureFilesTest {
  protected:
    int replace() { return replace_file(strdup(kTtysNew), kTtys, strdup(kTtysOld)); }
};

TEST_F(ReplaceFileTest, SwapsInTheNewVersionAndRemovesALeftoverOldOne) {
    for (bool existed : {true, false}) {
        box.remove(kTtys);
        if (existed) box.write(kTtys, "old\n");
        box.write(kTtysNew, "new\n");
        box.write(kTtysOld, "left over\n");
        EXPECT_EQ(replace(), 1);
        EXPECT_EQ(box.read(kTtys), "new\n");
        EXPECT_NOTHING_LEFT_BEHIND(box);
    }
}

TEST_F(ReplaceFileTest, NeverAsksForASyncOfEveryFileSystem) {
    box.write(kTtys, "old\n");
    box.write(kTtysNew, "new\n");
    ChildResult r = run_child([this] {
        if (!forbid_syscalls({VANT_SYNC_CALLS})) _exit(kSkip);
        printf("%d", replace());
    });
    SKIP_WHEN_UNFILTERED(r);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "1");
    EXPECT_EQ(box.read(kTtys), "new\n");
}

// What happened, in order: steps of the update, and flushes to disk.
std::vector<int> events;
constexpr int kFsyncFile = 100;
constexpr int kFsyncDirectory = 101;

TEST_F(ReplaceFileTest, FlushesTheNewVersionBeforeTheSwapAndTheDirectoryAfterIt) {
    box.write(kTtys, "old\n");
    box.write(kTtysNew, "new\n");
    ChildResult r = run_child([this] {
        authdb::set_update_step_hook([](UpdateStep s) { events.push_back(static_cast<int>(s)); });
        bool trapped = trap_syscalls({VANT_FSYNC_CALLS}, [](long, long fd) {
            struct stat st;
            fstat(static_cast<int>(fd), &st);
            events.push_back(S_ISDIR(st.st_mode) ? kFsyncDirectory : kFsyncFile);
        });
        if (!trapped) _exit(kSkip);
        printf("%d:", replace());
        for (int e : events)
            printf(" %d", e);
    });
    SKIP_WHEN_UNFILTERED(r);
    std::ostringstream want;
    want << "1:";
    for (int e :
         {kFsyncFile, static_cast<int>(UpdateStep::new_version_synced),
          static_cast<int>(UpdateStep::old_version_linked), static_cast<int>(UpdateStep::renamed),
          static_cast<int>(UpdateStep::old_link_removed), kFsyncDirectory,
          static_cast<int>(UpdateStep::directory_synced)})
        want << " " << e;
    EXPECT_EQ(r.out, want.str());
}

TEST_F(ReplaceFileTest, KeepsTheOldVersionWhenTheNewCannotReachTheDisk) {
    box.write(kTtys, "old\n");
    box.write(kTtysNew, "new\n");
    ChildResult r = run_child([this] {
        if (!fail_syscalls({VANT_FSYNC_CALLS}, EIO)) _exit(kSkip);
        printf("%d", replace());
    });
    SKIP_WHEN_UNFILTERED(r);
    EXPECT_EQ(r.out, "0");
    EXPECT_EQ(box.read(kTtys), "old\n");
    EXPECT_FALSE(box.exists(kTtysNew));
    EXPECT_FALSE(box.exists(kTtysOld));
}

TEST_F(ReplaceFileTest, KeepsTheOldVersionWhenTheRenameFails) {
    box.write(kTtys, "old\n");
    box.write(kTtysNew, "new\n");
    ChildResult r = run_child([this] {
        if (!fail_syscalls({SYS_rename, SYS_renameat, SYS_renameat2}, EIO)) _exit(kSkip);
        printf("%d", replace());
    });
    SKIP_WHEN_UNFILTERED(r);
    EXPECT_EQ(r.out, "0");
    EXPECT_EQ(box.read(kTtys), "old\n");
    EXPECT_FALSE(box.exists(kTtysNew));
}

// ---------------------------------------------------------------------
// The update protocol

UpdateResult write_text(const char *text) {
    return authdb::update_database(kTtys, "make new Terminal Control database",
                                   [text](FILE *out) { return fputs(text, out) >= 0; });
}

TEST_F(SecureFilesTest, UpdateKilledAtAnyStepLeavesTheDatabaseWholeOldOrNew) {
    auto kills = kill_at_every_step(box, {{kTtys, "old\n", "new\n"}},
                                    {.prepare = [this] { box.write(kTtys, "old\n"); },
                                     .update = [] { write_text("new\n"); },
                                     .after_kill = {}});
    expect_new_from_rename_on(kills);
    if (geteuid() == 0) {
        EXPECT_EQ(status(kTtys).st_mode & 07777, 0640u);
        EXPECT_EQ(status(kTtys).st_uid, 1u);
    }
}

TEST_F(SecureFilesTest, UpdateLeavesTheDatabaseAloneWhenTheWriterFails) {
    box.write(kTtys, "old\n");
    UpdateResult result =
        authdb::update_database(kTtys, "make new Terminal Control database", [](FILE *out) {
            fputs("half", out);
            return false;
        });
    EXPECT_EQ(result, UpdateResult::failed);
    EXPECT_EQ(box.read(kTtys), "old\n");
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(SecureFilesTest, UpdateDoesNotStartWithoutATransitionFile) {
    const char *unlisted = "/etc/auth/system/devassign";
    box.write(unlisted, "old\n");
    bool called = false;
    EXPECT_EQ(authdb::update_database(unlisted, "make new Device Assignment database",
                                      [&called](FILE *) { return called = true; }),
              UpdateResult::not_started);
    EXPECT_FALSE(called);
    EXPECT_EQ(box.read(unlisted), "old\n");
    EXPECT_FALSE(box.exists("/etc/auth/system/devassign-t"));
}

// ---------------------------------------------------------------------
// Texts of the results

TEST_F(SecureFilesTest, ResultTextsInEnglishAndFromTheCatalog) {
    const char *const english[] = {
        "Successfully and securely created file", "Cannot securely create new file",
        "File not listed in File Control database", "Cannot change mode on newly created file",
        "Cannot set owner of newly created file"};
    const char *unknown = "unknown problem with secure file creation";
    for (int code = 0; code < 5; ++code) {
        EXPECT_STREQ(cfs_to_english_string(code), english[code]);
        EXPECT_STREQ(cfs_to_string(code), english[code]);
    }
    for (int code : {-1, 5, 9})
        EXPECT_STREQ(cfs_to_english_string(code), unknown);

    box.mkdir("/nls");
    std::filesystem::copy_file(VANT_BUILT_CATALOG, box.path("/nls/vant.cat@Unix"));
    setenv("NLSPATH", (box.path("/nls") + "/%N").c_str(), 1);
    set_auth_msg(VANT_MSG_CATALOG);
    EXPECT_STREQ(cfs_to_string(2), "file not listed in File Control database");
    EXPECT_STREQ(cfs_to_string(9), unknown);
    EXPECT_STREQ(cfs_to_english_string(2), english[2]);
}

// ---------------------------------------------------------------------
// Return to the real identity

TEST_F(FreshIdentityTest, SetIdProgramDropsGroupThenUserForGood) {
    ChildResult r = run_child([] {
        if (setresgid(100, 0, 0) != 0 || setresuid(1000, 0, 0) != 0) _exit(2);
        set_auth_parameters(1, kArgv);
        int result = setuid_least_privilege();
        uid_t ru, eu, su;
        gid_t rg, eg, sg;
        getresuid(&ru, &eu, &su);
        getresgid(&rg, &eg, &sg);
        printf("%d %u %u %u %u %u %u", result, ru, eu, su, rg, eg, sg);
    });
    // Had the user gone first, the privileged group would stay saved.
    EXPECT_EQ(r.out, "0 1000 1000 1000 100 100 100");
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

// ---------------------------------------------------------------------
// Lockout

struct Account {
    struct pr_passwd pr {};
    int32_t now = static_cast<int32_t>(time(nullptr));
    Account() { strcpy(pr.ufld.u_name, "alice"); }
    Account &user(uint32_t field) {
        PR_SET(pr.uflg, field);
        return *this;
    }
    Account &system(uint32_t field) {
        PR_SET(pr.sflg, field);
        return *this;
    }
};

class LockoutTest : public SecureFilesTest {};

// Each field comes from the entry when its user flag is set, else from the
// system default when its system flag is.
TEST_F(LockoutTest, TheLockoutRule) {
    struct Row {
        const char *what;
        std::function<void(Account &)> set;
        int locked;
    } rows[] = {
        {"nothing set", [](Account &) {}, 0},
        {"failures reach the entry's tries",
         [](Account &a) {
             a.pr.ufld.u_maxtries = 3, a.pr.ufld.u_numunsuclog = 3;
             a.user(PR_U_MAXTRIES).user(PR_U_NUMUNSUCLOG);
         },
         1},
        {"failures below the default's tries",
         [](Account &a) {
             a.pr.sfld.u_maxtries = 3, a.pr.ufld.u_numunsuclog = 2;
             a.system(PR_U_MAXTRIES).user(PR_U_NUMUNSUCLOG);
         },
         0},
        {"failures beyond the default's tries",
         [](Account &a) {
             a.pr.sfld.u_maxtries = 3, a.pr.ufld.u_numunsuclog = 4;
             a.system(PR_U_MAXTRIES).user(PR_U_NUMUNSUCLOG);
         },
         1},
        {"failures without a limit",
         [](Account &a) { a.pr.ufld.u_numunsuclog = 100, a.user(PR_U_NUMUNSUCLOG); }, 0},
        {"the default's lock", [](Account &a) { a.pr.sfld.u_lock = 1, a.system(PR_U_LOCK); }, 1},
        {"the entry's unlock wins",
         [](Account &a) {
             a.pr.sfld.u_lock = 1, a.pr.ufld.u_lock = 0;
             a.system(PR_U_LOCK).user(PR_U_LOCK);
         },
         0},
        {"lifetime over",
         [](Account &a) {
             a.pr.ufld.u_succhg = a.now - 200, a.pr.sfld.u_life = 100;
             a.user(PR_U_SUCCHG).system(PR_U_LIFE);
         },
         1},
        {"lifetime not over",
         [](Account &a) {
             a.pr.ufld.u_succhg = a.now - 50, a.pr.sfld.u_life = 100;
             a.user(PR_U_SUCCHG).system(PR_U_LIFE);
         },
         0},
        {"last change only from the default",
         [](Account &a) {
             a.pr.sfld.u_succhg = a.now - 200, a.pr.sfld.u_life = 100;
             a.system(PR_U_SUCCHG).system(PR_U_LIFE);
         },
         0},
        {"lifetime reaching past 2038",
         [](Account &a) {
             a.pr.ufld.u_succhg = a.now, a.pr.ufld.u_life = INT32_MAX;
             a.user(PR_U_SUCCHG).user(PR_U_LIFE);
         },
         0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Account a;
        row.set(a);
        EXPECT_EQ(locked_out(&a.pr), row.locked);
    }
}

TEST_F(LockoutTest, LockoutIsAuditedTwice) {
    box.write("/dev/auditw", "");
    Account a;
    a.pr.ufld.u_maxtries = 3;
    a.pr.ufld.u_numunsuclog = 5;
    ASSERT_EQ(locked_out(&a.user(PR_U_MAXTRIES).user(PR_U_NUMUNSUCLOG).pr), 1);
    EXPECT_EQ(records(),
              (std::vector<Args>{{"14", "alice", "account lockout denies account access"}}));
    std::string lock = box.read("/dev/auditw");
    ASSERT_EQ(lock.size(), 36u);
    EXPECT_EQ(lock.substr(20, 5), "alice");
    EXPECT_EQ(lock[32], 1);
    EXPECT_EQ(lock[34], 5);

    Account open;
    EXPECT_EQ(locked_out(&open.pr), 0);
    EXPECT_EQ(records().size(), 1u);
}

}  // namespace
}  // namespace vant::test
