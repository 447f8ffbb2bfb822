// Tests of rewriting a user's /etc/passwd and /etc/shadow lines: the lines
// written, the locks, the whole-file replacement, the last-login marker,
// and writers killed half way.
#include <fcntl.h>
#include <pwd.h>
#include <shadow.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "mirror/mirror_fixture.h"
#include "support/child.h"
#include "support/crash.h"

namespace vant::test {
namespace {

using mirror::lock_pw_files;
using mirror::put_pw_fields;
using mirror::replace_pw_files;
using mirror::unlock_pw_files;
using Stamp = Sandbox::Stamp;

constexpr const char *kPwdLock = "/etc/.pwd.lock";

User alice() {
    return User().name("alice").id(1000).lock(0).pwd("newpassword12").succhg(19500 * kDay);
}

// One mirrored update, in the order the Protected Password writer makes
// it: 1 done, 0 given up, -1 not locked.
int update(const char *name, const User &u) {
    if (lock_pw_files() != 1) return -1;
    if (put_pw_fields(name, &u.f, &u.fl) != 1) {
        unlock_pw_files();
        return 0;
    }
    return replace_pw_files(&u.f, &u.fl);
}

class WriteTest : public PwMirrorTest {
  protected:
    std::string line_of(const char *logical, const std::string &name) const {
        std::istringstream in(box.read(logical));
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, name.size() + 1, name + ":") == 0) return line;
        return "(none)";
    }
    Stamp stamp(const char *logical) const { return box.stamp(logical); }
};

// ---------------------------------------------------------------------
// The lines written

TEST_F(WriteTest, TheUsersLinesAreReplacedAppendedOrRemovedAndTheOthersKept) {
    Stamp passwd = stamp(kPasswd);
    ASSERT_EQ(update("alice", alice().minchg(kDay).exp(90 * kDay)), 1);
    EXPECT_EQ(box.read(kShadow),
              "root:$1$root:19000:0:99999:7:::\n"
              "daemon:*:19000:0:99999:7:::\n"
              "alice:newpassword12:19500:1:90:7:::\n"
              "bob:nopqrstuvwxyz:19000:1:90\n");
    EXPECT_EQ(stamp(kPasswd), passwd);  // its line still reads "x"
    EXPECT_NOTHING_LEFT_BEHIND(box);

    ASSERT_EQ(update("bob", User().name("bob").id(1001).pwd("bobs").exp(45 * kDay + 43200)), 1);
    EXPECT_EQ(line_of(kShadow, "bob"), "bob:bobs:::46");
    ASSERT_EQ(update("bob", User().name("bob").id(1002).lock(1).pwd("bobs")), 1);
    EXPECT_EQ(line_of(kShadow, "bob"), "bob:*LK*bobs:::::::");
    EXPECT_EQ(line_of(kPasswd, "bob"), "bob:x:1002:100:Bob:/home/bob:/bin/sh");

    ASSERT_EQ(update("carol", User().name("carol").id(1002).pwd("cpw").succhg(19500 * kDay)), 1);
    EXPECT_EQ(line_of(kShadow, "carol"), "carol:cpw:19500::::::");
    ASSERT_EQ(update("alice", User()), 1);
    EXPECT_EQ(box.read(kPasswd),
              "root:x:0:0:root:/root:/bin/sh\n"
              "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
              "auth:x:7:21:auth:/tcb/files/auth:/usr/sbin/nologin\n"
              "bob:x:1002:100:Bob:/home/bob:/bin/sh\n"
              "carol:x:1002::::\n");
    EXPECT_EQ(line_of(kShadow, "alice"), "(none)");
    EXPECT_EQ(line_of(kShadow, "bob"), "bob:*LK*bobs:::::::");

    // Removing a user who has no lines, or writing the lines a user has,
    // changes nothing.
    box.write(kPasswd, kDefaultPasswd);
    box.write(kShadow, "alice:abcdefghijklm:19000:0:90:7:::\n", 0640);
    passwd = stamp(kPasswd);
    Stamp shadow = stamp(kShadow);
    ASSERT_EQ(update("nobody", User()), 1);
    User same = User().name("alice").id(1000).pwd("abcdefghijklm").succhg(19000 * kDay + 500);
    ASSERT_EQ(update("alice", same.minchg(0).exp(90 * kDay - 600)), 1);
    EXPECT_EQ(stamp(kPasswd), passwd);
    EXPECT_EQ(stamp(kShadow), shadow);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

// What the C library's own readers make of the files written.
TEST_F(WriteTest, ThePlatformsReadersReadTheLinesWritten) {
    ASSERT_EQ(update("alice", alice().minchg(kDay).exp(90 * kDay)), 1);
    ASSERT_EQ(update("bob", User().name("bob").id(1001).pwd("bobpw")), 1);
    ASSERT_EQ(update("carol", User().name("carol").id(1002).pwd("carolpw").minchg(2 * kDay)), 1);
    std::vector<std::string> seen;
    FILE *in = fopen(box.path(kShadow).c_str(), "r");
    ASSERT_NE(in, nullptr);
    while (struct spwd *sp = fgetspent(in)) {
        std::ostringstream entry;
        entry << sp->sp_namp << " " << sp->sp_pwdp << " " << sp->sp_lstchg << " " << sp->sp_min
              << " " << sp->sp_max << " " << sp->sp_warn;
        seen.push_back(entry.str());
    }
    fclose(in);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"root $1$root 19000 0 99999 7", "daemon * 19000 0 99999 7",
                                        "alice newpassword12 19500 1 90 7", "bob bobpw -1 -1 -1 -1",
                                        "carol carolpw -1 2 -1 -1"}));

    box.remove(kShadow);
    ASSERT_EQ(update("alice", alice().exp(10 * kWeek)), 1);
    in = fopen(box.path(kPasswd).c_str(), "r");
    ASSERT_NE(in, nullptr);
    seen.clear();
    while (struct passwd *pw = fgetpwent(in)) {
        std::ostringstream entry;
        entry << pw->pw_name << " " << pw->pw_passwd << " " << pw->pw_uid << " " << pw->pw_gid
              << " " << pw->pw_dir << " " << pw->pw_shell;
        seen.push_back(entry.str());
    }
    fclose(in);
    // carol's line has no group yet, and the C library skips it.
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "root x 0 0 /root /bin/sh", "daemon x 1 1 /usr/sbin /usr/sbin/nologin",
                        "auth x 7 21 /tcb/files/auth /usr/sbin/nologin",
                        "alice newpassword12,8.Vf 1000 100 /home/alice /bin/sh",
                        "bob x 1001 100 /home/bob /bin/sh"}));
    EXPECT_EQ(line_of(kPasswd, "carol"), "carol:x:1002::::");
}

TEST_F(WriteTest, WithoutShadowThePasswordLineCarriesTheAgingCharacters) {
    box.remove(kShadow);
    struct Row {
        User user;
        const char *field;
    };
    const Row rows[] = {
        {User().exp(10 * kWeek), "pw,8."},
        {User().exp(10 * kWeek).succhg(0), "pw,8.."},
        {User().exp(100 * kWeek).minchg(2 * kWeek).succhg(2508 * kWeek + 5), "pw,z0Ab"},
        {User().minchg(kWeek / 2 - 1), "pw,.."},
        {User(), "pw"},
        {User().lock(1), "*LK*pw"},
        {User().lock(0).retired(), "*RETIRED*"},
        {User().lock(1).retired().exp(kWeek), "*LK**RETIRED*,/."},
    };
    for (const Row &r : rows) {
        User u = r.user;
        u.name("alice").id(1000).pwd("pw");
        ASSERT_EQ(update("alice", u), 1) << r.field;
        EXPECT_EQ(line_of(kPasswd, "alice"),
                  std::string("alice:") + r.field + ":1000:100:Alice:/home/alice:/bin/sh");
    }
    ASSERT_EQ(update("alice", User().name("alice").pwd("*RETIRED*")), 1);
    EXPECT_EQ(line_of(kPasswd, "alice"), "alice:*::100:Alice:/home/alice:/bin/sh");
}

// The record's 16-bit id holds 70000 as 4464: written back, that would be
// another user's id.
TEST_F(WriteTest, AUserIdTooLargeForTheRecordIsKeptUnlessTheRecordChangesIt) {
    box.write(kPasswd, box.read(kPasswd) + "big:x:70000:100::/home/big:/bin/sh\n");
    ASSERT_EQ(update("big", User().name("big").id(static_cast<vant_id_t>(70000)).pwd("pw")), 1);
    EXPECT_EQ(line_of(kPasswd, "big"), "big:x:70000:100::/home/big:/bin/sh");
    ASSERT_EQ(update("big", User().name("big").id(500).pwd("pw")), 1);
    EXPECT_EQ(line_of(kPasswd, "big"), "big:x:500:100::/home/big:/bin/sh");
}

TEST_F(WriteTest, WhatIsWrittenReadsBackAsTheSameValues) {
    for (bool shadow : {true, false}) {
        SCOPED_TRACE(shadow ? "with shadow" : "without shadow");
        if (!shadow) box.remove(kShadow);
        User u = alice().lock(1).minchg(3 * kWeek).exp(12 * kWeek);
        ASSERT_EQ(update("alice", u), 1);
        mirror::close_pw_files();
        ASSERT_EQ(mirror::open_pw_files(), 0);
        User etc;
        ASSERT_EQ(mirror::get_pw_fields("alice", &etc.f, &etc.fl), 0);
        EXPECT_EQ(mirror::shadow_exists, shadow ? 1 : 0);
        EXPECT_EQ(mirror::validate_passwd_fields(1, 1, &u.f, &u.fl, &etc.f, &etc.fl), 1);
    }
}

// ---------------------------------------------------------------------
// Failures write nothing

TEST_F(WriteTest, AFailedAssemblyWritesNothing) {
    Stamp passwd = stamp(kPasswd), shadow = stamp(kShadow);
    const User refused[] = {
        alice().exp(-1),
        alice().succhg(-kDay),
        alice().pwd("x:0:0::/:/bin/sh\nevil"),
        User().name("ev:l").id(0),
    };
    for (const User &u : refused) {
        EXPECT_EQ(update("alice", u), 0) << u.f.u_pwd;
        EXPECT_NOTHING_LEFT_BEHIND(box);
    }
    // A line longer than the line finder carries is not cut.
    box.write(kPasswd, std::string(kDefaultPasswd) + "long:x:2000:100:" + std::string(1100, 'c') +
                           ":/home/long:/bin/sh\n");
    passwd = stamp(kPasswd);
    EXPECT_EQ(update("alice", alice().id(1005)), 0);
    EXPECT_EQ(stamp(kPasswd), passwd);
    EXPECT_EQ(stamp(kShadow), shadow);

    // Nothing is written that was not assembled in the same update, and
    // nothing is assembled without the locks.
    ASSERT_EQ(lock_pw_files(), 1);
    EXPECT_EQ(replace_pw_files(nullptr, nullptr), 0);
    EXPECT_EQ(stamp(kPasswd), passwd);
    EXPECT_EQ(stamp(kShadow), shadow);
    EXPECT_NOTHING_LEFT_BEHIND(box);
    User u = alice();
    EXPECT_EQ(put_pw_fields("alice", &u.f, &u.fl), 0);

    ASSERT_EQ(lock_pw_files(), 1);
    EXPECT_EQ(put_pw_fields(nullptr, &u.f, &u.fl), -1);
    EXPECT_EQ(put_pw_fields("", &u.f, &u.fl), -1);
    EXPECT_EQ(put_pw_fields("alice", nullptr, &u.fl), -1);
    unlock_pw_files();
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_TRUE(audited_about("cannot update entry"));
}

// ---------------------------------------------------------------------
// Whole-file replacement

TEST_F(WriteTest, AReplacedFileKeepsOwnerGroupAndModeButIsANewFile) {
    uid_t owner = geteuid() == 0 ? 1 : geteuid();
    gid_t group = geteuid() == 0 ? 21 : getegid();
    ASSERT_EQ(chown(box.path(kShadow).c_str(), owner, group), 0);
    chmod(box.path(kShadow).c_str(), 0604);
    box.write("/etc/shadow-n", "left by a writer that died", 0600);
    Stamp before = stamp(kShadow);
    ASSERT_EQ(update("alice", alice()), 1);
    struct stat st;
    ASSERT_EQ(stat(box.path(kShadow).c_str(), &st), 0);
    EXPECT_NE(st.st_ino, before.inode);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(owner, group));
    EXPECT_EQ(line_of(kShadow, "alice"), "alice:newpassword12:19500:::7:::");
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(WriteTest, OnlyWhatFitsIsWrittenAndOnlyToARegularFile) {
    mirror::text_buffer text{};
    ASSERT_EQ(mirror::add_to_buffer("alice:pw:1::", &text), 0);
    if (geteuid() == 0) {  // a missing file is made as its File Control entry says
        box.remove(kShadow);
        EXPECT_EQ(mirror::write_to_file(kShadow, &text), 0);
        EXPECT_EQ(box.read(kShadow), "alice:pw:1::\n");
        struct stat st;
        ASSERT_EQ(stat(box.path(kShadow).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(st.st_gid, 21u);
    }
    EXPECT_EQ(mirror::write_to_file("/etc/auth/nowhere/x", &text), -1);
    EXPECT_EQ(mirror::write_to_file(nullptr, &text), -1);
    EXPECT_EQ(mirror::write_to_file(kShadow, nullptr), -1);
    box.write("/etc/real", "real\n");
    ASSERT_EQ(symlink(box.path("/etc/real").c_str(), box.path("/etc/linked").c_str()), 0);
    EXPECT_EQ(mirror::write_to_file("/etc/linked", &text), -1);
    EXPECT_EQ(box.read("/etc/real"), "real\n");
    mirror::free_buffer(&text);

    box.write("/etc/default/small", "old\n");
    box.write(kPasswd, "old\n");
    ChildResult r = run_child([&] {
        struct rlimit limit = {1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        mirror::text_buffer big{};
        for (int i = 0; i < 20; ++i)
            mirror::add_to_buffer(std::string(100, 'a').c_str(), &big);
        int refused = mirror::write_to_file(kPasswd, &big);
        big.used = 1000;
        int written = mirror::write_to_file("/etc/default/small", &big);
        _exit(refused == -1 && written == 0 ? 0 : 1);
    });
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(box.read(kPasswd), "old\n");
    EXPECT_EQ(box.read("/etc/default/small").size(), 1000u);
}

TEST_F(WriteTest, CopyingCarriesLongLinesWhole) {
    std::string long_line(3000, 'l');
    box.write("/etc/lines", "a\n" + long_line + "\nlast");
    FILE *in = fopen(box.path("/etc/lines").c_str(), "r");
    ASSERT_NE(in, nullptr);
    mirror::text_buffer text{};
    EXPECT_EQ(mirror::copy_file(in, &text), 0);
    fclose(in);
    EXPECT_EQ(std::string(text.storage, static_cast<size_t>(text.used)),
              "a\n" + long_line + "\nlast\n");
    mirror::free_buffer(&text);
    EXPECT_EQ(mirror::copy_file(nullptr, &text), -1);
}

// ---------------------------------------------------------------------
// Lock files

TEST_F(WriteTest, LocksAreEmptyFilesWithoutPermissionsShadowFirst) {
    ASSERT_EQ(lock_pw_files(), 1);
    EXPECT_EQ(mirror::shadow_exists, 1);
    for (const char *lock : {kPasswdLock, kShadowLock}) {
        struct stat st;
        ASSERT_EQ(lstat(box.path(lock).c_str(), &st), 0) << lock;
        EXPECT_EQ(st.st_mode & 07777, 0u) << lock;
        EXPECT_EQ(st.st_size, 0) << lock;
    }
    unlock_pw_files();
    EXPECT_NOTHING_LEFT_BEHIND(box);

    box.remove(kShadow);
    ASSERT_EQ(lock_pw_files(), 1);
    EXPECT_EQ(mirror::shadow_exists, 0);
    EXPECT_EQ(left_behind(box), std::vector<std::string>{kPasswdLock});
    unlock_pw_files();
    EXPECT_NOTHING_LEFT_BEHIND(box);

    EXPECT_EQ(mirror::create_file_exclusively("/etc/nowhere/file"), -1);
    EXPECT_EQ(mirror::create_file_exclusively(nullptr), -1);
    EXPECT_TRUE(naps.delays.empty());
    {
        authdb::TransitionFile lock;
        EXPECT_TRUE(mirror::create_lock_file(kPasswd, lock));
        EXPECT_STREQ(lock.new_name(), "/etc/passwd-t");
        EXPECT_STREQ(lock.old_name(), "/etc/passwd-o");
        EXPECT_TRUE(box.exists(kPasswdLock));
    }
    // A lock its update did not commit removes itself.
    EXPECT_FALSE(box.exists(kPasswdLock));
}

TEST_F(WriteTest, AStaleLockIsGivenUpOnAndNothingIsLeftHeld) {
    box.write(kShadowLock, "", 0);
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(naps.delays.size(), 19u);
    EXPECT_EQ(left_behind(box), std::vector<std::string>{kShadowLock});
    EXPECT_TRUE(audited_about("Cannot securely create new file"));
    EXPECT_TRUE(audited_about(kShadowLock));

    box.remove(kShadowLock);
    box.write(kPasswdLock, "", 0);
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(left_behind(box), std::vector<std::string>{kPasswdLock});  // its own taken back
}

TEST_F(WriteTest, ALockIsWaitedForWhileItsHolderIsAtWork) {
    box.write(kPasswdLock, "", 0);
    naps.each = [&](size_t count) {
        if (count == 10) touch(kPasswdLock, 100);  // taken over by another holder
        if (count == 25) box.remove(kPasswdLock);
    };
    ASSERT_EQ(update("alice", alice()), 1);
    EXPECT_EQ(naps.delays.size(), 25u);
    EXPECT_EQ(line_of(kShadow, "alice"), "alice:newpassword12:19500:::7:::");

    box.write(kPasswdLock, "", 0);
    naps.delays.clear();
    naps.each = [&](size_t count) {
        if (count == 10) touch(kPasswdLock, 100);
    };
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(naps.delays.size(), 29u);  // the count started again at the new holder
}

// ---------------------------------------------------------------------
// The platform's password-file lock

// A process that holds the platform's lock, when it can take it, until
// it is let go.
struct Holder {
    pid_t pid = -1;
    int release = -1;
    bool holding = false;
};

Holder hold_platform_lock(const std::string &host_path) {
    Holder h;
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) return h;
    fflush(nullptr);
    if ((h.pid = fork()) == 0) {
        close(go[1]);
        int fd = open(host_path.c_str(), O_WRONLY | O_CREAT, 0600);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        char c = fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(go[0], &c, 1);
        _exit(0);
    }
    close(go[0]);
    close(ready[1]);
    char c = 0;
    h.holding = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    h.release = go[1];
    return h;
}

void let_go(Holder &h) {
    if (h.pid <= 0) return;
    close(h.release);
    waitpid(h.pid, nullptr, 0);
    h.pid = -1;
}

bool others_can_lock(const std::string &host_path) {
    Holder h = hold_platform_lock(host_path);
    let_go(h);
    return h.holding;
}

TEST_F(WriteTest, ThePlatformLockIsHeldThroughoutTheRewrite) {
    ASSERT_EQ(lock_pw_files(), 1);
    struct stat st;
    ASSERT_EQ(lstat(box.path(kPwdLock).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_FALSE(others_can_lock(box.path(kPwdLock)));
    User u = alice();
    ASSERT_EQ(put_pw_fields("alice", &u.f, &u.fl), 1);
    EXPECT_FALSE(others_can_lock(box.path(kPwdLock)));
    ASSERT_EQ(replace_pw_files(&u.f, &u.fl), 1);
    EXPECT_TRUE(others_can_lock(box.path(kPwdLock)));
    ASSERT_EQ(lock_pw_files(), 1);
    unlock_pw_files();
    EXPECT_TRUE(others_can_lock(box.path(kPwdLock)));
}

TEST_F(WriteTest, ThePlatformLockIsWaitedForABoundedTime) {
    Holder holder = hold_platform_lock(box.path(kPwdLock));
    ASSERT_TRUE(holder.holding);
    naps.each = [&](size_t count) {
        if (count == 3) let_go(holder);
    };
    ASSERT_EQ(update("alice", alice()), 1);
    EXPECT_EQ(naps.delays, std::vector<long>(3, 100));

    naps = {};
    Holder stubborn = hold_platform_lock(box.path(kPwdLock));
    ASSERT_TRUE(stubborn.holding);
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(naps.delays.size(), 149u);  // about 15 seconds
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_TRUE(audited_about(kPwdLock));
    let_go(stubborn);
}

// ---------------------------------------------------------------------
// The last-login marker

class MarkerTest : public WriteTest {
  protected:
    static constexpr const char *kMarker = "/home/alice/.lastlogin";
    static constexpr vant_time_t kLogin = 1700000000;
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "the marker is written by root only";
        WriteTest::SetUp();
        ASSERT_EQ(chown(box.path("/home/alice").c_str(), 1000, 100), 0);
    }
    struct stat marker() const {
        struct stat st {};
        lstat(box.path(kMarker).c_str(), &st);
        return st;
    }
    // Runs the update in a child, which also checks that its identities
    // are back as they were.
    ChildResult update_in_child(const User &u) {
        return run_child([&] {
            uid_t r0, e0, s0, r1, e1, s1;
            gid_t gr0, ge0, gs0, gr1, ge1, gs1;
            getresuid(&r0, &e0, &s0);
            getresgid(&gr0, &ge0, &gs0);
            int result = update("alice", u);
            getresuid(&r1, &e1, &s1);
            getresgid(&gr1, &ge1, &gs1);
            bool same = r0 == r1 && e0 == e1 && s0 == s1 && gr0 == gr1 && ge0 == ge1 && gs0 == gs1;
            _exit(result == 1 && same ? 0 : 1);
        });
    }
};

TEST_F(MarkerTest, AMirroredUpdateByRootLeavesTheUsersMarker) {
    box.write(kMarker, "", 0400);
    ASSERT_EQ(lchown(box.path(kMarker).c_str(), 1000, 100), 0);
    ChildResult r = update_in_child(alice().suclog(kLogin));
    ASSERT_EQ(r.exit_status, 0) << r.err;
    struct stat st = marker();
    EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(1000u, 21u));
    EXPECT_EQ(st.st_mode & 07777, 0400u);
    EXPECT_EQ(st.st_mtime, kLogin);
    EXPECT_EQ(st.st_atime, kLogin - 2);
    ASSERT_EQ(mirror::open_pw_files(), 0);
    User etc;
    ASSERT_EQ(mirror::get_pw_fields("alice", &etc.f, &etc.fl), 0);
    EXPECT_EQ(etc.f.u_suclog, kLogin);
    // Without a last login the marker goes.
    ASSERT_EQ(update_in_child(alice()).exit_status, 0);
    EXPECT_FALSE(box.exists(kMarker));
}

TEST_F(MarkerTest, AMarkerOfSomeoneElseIsLeftAlone) {
    box.write(kMarker, "theirs", 0644);
    ASSERT_EQ(lchown(box.path(kMarker).c_str(), 1001, 100), 0);
    ASSERT_EQ(update_in_child(alice().suclog(kLogin)).exit_status, 0);
    EXPECT_EQ(marker().st_uid, 1001u);
    EXPECT_EQ(box.read(kMarker), "theirs");
    EXPECT_NE(marker().st_mtime, kLogin);
}

TEST_F(MarkerTest, NoMarkerWithoutRootOrAHomeDirectory) {
    ChildResult r = run_child([&] {
        User u = alice().suclog(kLogin);
        const char *line = "alice:x:1000:100:Alice:/home/alice:/bin/sh";
        if (setresuid(-1, 1001, -1) != 0) _exit(2);
        mirror::put_slogin(line, &u.f, &u.fl);
        if (setresuid(-1, 0, -1) != 0) _exit(3);
        mirror::put_slogin("alice:x:1000:100:Alice:/home/nobody:/bin/sh", &u.f, &u.fl);
        mirror::put_slogin("alice:x:1000:100:Alice", &u.f, &u.fl);
        mirror::put_slogin(line, &u.f, &u.fl);
        _exit(0);
    });
    ASSERT_EQ(r.exit_status, 0);
    EXPECT_EQ(marker().st_mtime, kLogin);  // only the last call made it
    EXPECT_FALSE(box.exists("/home/nobody/.lastlogin"));
}

// ---------------------------------------------------------------------
// Writers killed at any moment

// The /etc files are replaced without the update's step hook, so the
// writer is killed the moment its new file shows beside the old one: it
// is then between making the new version and renaming it into place.
TEST_F(WriteTest, AWriterKilledAtEveryStepLeavesEachFileWhole) {
    auto version = [](int v) {
        return alice().id(v == 0 ? 1000 : 1005).pwd(v == 0 ? "aaaaaaaaaaaaa" : "bbbbbbbbbbbbb");
    };
    std::string passwd[2], shadow[2];
    for (int v : {1, 0}) {
        ASSERT_EQ(update("alice", version(v)), 1);
        passwd[v] = box.read(kPasswd);
        shadow[v] = box.read(kShadow);
    }
    std::vector<WholeFile> files = {{kPasswd, passwd[0], passwd[1]},
                                    {kShadow, shadow[0], shadow[1]}};
    std::vector<Kill> kills =
        kill_at_every_step(box, files,
                           {.prepare = [&] { ASSERT_EQ(update("alice", version(0)), 1); },
                            .update = [&] { _exit(update("alice", version(1)) == 1 ? 0 : 1); },
                            .after_kill = {}});
    // Both files are replaced, each through its own steps.
    EXPECT_GE(std::count_if(kills.begin(), kills.end(),
                            [](const Kill &k) { return k.step == authdb::UpdateStep::renamed; }),
              2);
    EXPECT_TRUE(std::any_of(kills.begin(), kills.end(), [](const Kill &k) {
        return k.is_new[0] != k.is_new[1];
    })) << "no kill fell between the two replacements";
}

}  // namespace
}  // namespace vant::test
