#include <fcntl.h>
#include <pwd.h>
#include <shadow.h>
#include <sys/resource.h>
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
using Lines = std::vector<std::string>;

constexpr const char *kPwdLock = "/etc/.pwd.lock";

User alice() {
    return User().name("alice").id(1000).lock(0).pwd("newpassword12").succhg(19500 * kDay);
}

// One mirrored update: 1 done, 0 given up, -1 not locked.
int update(const char *name, const User &u) {
    if (lock_pw_files() != 1) return -1;
    if (put_pw_fields(name, &u.f, &u.fl) != 1) {
        unlock_pw_files();
        return 0;
    }
    return replace_pw_files(&u.f, &u.fl);
}

template <class... T>
std::string joined(const T &...values) {
    std::ostringstream out;
    ((out << values << " "), ...);
    std::string text = out.str();
    return text.substr(0, text.size() - 1);
}

// The entries a C library reader finds in a file, each as `show` puts it.
template <class Entry>
Lines entries(const std::string &host, Entry *(*next)(FILE *), std::string (*show)(Entry *)) {
    Lines seen;
    if (FILE *in = fopen(host.c_str(), "r")) {
        while (Entry *e = next(in))
            seen.push_back(show(e));
        fclose(in);
    }
    return seen;
}

class WriteTest : public PwMirrorTest {
  protected:
    std::string line_of(const char *logical, const std::string &name) const {
        std::istringstream in(box.read(logical));
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, name.size() + 1, name + ":") == 0) return line;
        return "(none)";
    }
};

TEST_F(WriteTest, TheUsersLinesAreReplacedAppendedOrRemovedAndTheOthersKept) {
    uid_t owner = geteuid() == 0 ? 1 : geteuid();
    gid_t group = geteuid() == 0 ? 21 : getegid();
    ASSERT_EQ(chown(box.path(kShadow).c_str(), owner, group), 0);
    chmod(box.path(kShadow).c_str(), 0604);
    box.write("/etc/shadow-n", "left by a writer that died", 0600);
    Stamp passwd = box.stamp(kPasswd), shadow = box.stamp(kShadow);
    ASSERT_EQ(update("alice", alice().minchg(kDay).exp(90 * kDay)), 1);
    EXPECT_EQ(box.read(kShadow),
              "root:$1$root:19000:0:99999:7:::\n"
              "daemon:*:19000:0:99999:7:::\n"
              "alice:newpassword12:19500:1:90:7:::\n"
              "bob:nopqrstuvwxyz:19000:1:90\n");
    EXPECT_EQ(box.stamp(kPasswd), passwd);  // its line still reads "x"
    struct stat st;
    ASSERT_EQ(stat(box.path(kShadow).c_str(), &st), 0);
    EXPECT_NE(st.st_ino, shadow.inode);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(owner, group));
    EXPECT_NOTHING_LEFT_BEHIND(box);

    ASSERT_EQ(update("bob", User().name("bob").id(1001).pwd("bobs").exp(45 * kDay + 43200)), 1);
    EXPECT_EQ(line_of(kShadow, "bob"), "bob:bobs:::46");
    ASSERT_EQ(update("bob", User().name("bob").id(1002).lock(1).pwd("bobs")), 1);
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
    passwd = box.stamp(kPasswd);
    ASSERT_EQ(update("nobody", User()), 1);  // no lines to remove: nothing written
    EXPECT_EQ(box.stamp(kPasswd), passwd);
}

// What the C library's own readers make of the files written.
TEST_F(WriteTest, ThePlatformsReadersReadTheLinesWritten) {
    ASSERT_EQ(update("alice", alice().minchg(kDay).exp(90 * kDay)), 1);
    ASSERT_EQ(update("bob", User().name("bob").id(1001).pwd("bobpw")), 1);
    ASSERT_EQ(update("carol", User().name("carol").id(1002).pwd("carolpw").minchg(2 * kDay)), 1);
    EXPECT_EQ(entries<struct spwd>(box.path(kShadow), fgetspent,
                                   [](struct spwd *e) {
                                       return joined(e->sp_namp, e->sp_pwdp, e->sp_lstchg,
                                                     e->sp_min, e->sp_max, e->sp_warn);
                                   }),
              (Lines{"root $1$root 19000 0 99999 7", "daemon * 19000 0 99999 7",
                     "alice newpassword12 19500 1 90 7", "bob bobpw -1 -1 -1 -1",
                     "carol carolpw -1 2 -1 -1"}));

    box.remove(kShadow);
    ASSERT_EQ(update("alice", alice().exp(10 * kWeek)), 1);
    // carol's line has no group yet, and the C library skips it.
    EXPECT_EQ(entries<struct passwd>(box.path(kPasswd), fgetpwent,
                                     [](struct passwd *e) {
                                         return joined(e->pw_name, e->pw_passwd, e->pw_uid,
                                                       e->pw_gid, e->pw_dir, e->pw_shell);
                                     }),
              (Lines{"root x 0 0 /root /bin/sh", "daemon x 1 1 /usr/sbin /usr/sbin/nologin",
                     "auth x 7 21 /tcb/files/auth /usr/sbin/nologin",
                     "alice newpassword12,8.Vf 1000 100 /home/alice /bin/sh",
                     "bob x 1001 100 /home/bob /bin/sh"}));
    EXPECT_EQ(line_of(kPasswd, "carol"), "carol:x:1002::::");
}

TEST_F(WriteTest, WithoutShadowThePasswordLineCarriesTheAgingCharacters) {
    box.remove(kShadow);
    const std::pair<User, const char *> rows[] = {
        {User().exp(10 * kWeek), "pw,8."},
        {User().exp(100 * kWeek).minchg(2 * kWeek).succhg(2508 * kWeek + 5), "pw,z0Ab"},
        {User().minchg(kWeek / 2 - 1), "pw,.."},
        {User().lock(0).retired(), "*RETIRED*"},
        {User().lock(1).retired().exp(kWeek), "*LK**RETIRED*,/."},
    };
    for (auto [u, field] : rows) {
        ASSERT_EQ(update("alice", u.name("alice").id(1000).pwd("pw")), 1) << field;
        EXPECT_EQ(line_of(kPasswd, "alice"),
                  std::string("alice:") + field + ":1000:100:Alice:/home/alice:/bin/sh");
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

// A refused record or name, or a line longer than the line finder carries
// (not to be cut): nothing is written.
TEST_F(WriteTest, AFailedAssemblyWritesNothing) {
    for (const User &u : {alice().exp(-1), alice().pwd("x:0:0::/:/bin/sh\nevil")})
        EXPECT_EQ(update("alice", u), 0) << u.f.u_pwd;
    box.write(kPasswd, std::string(kDefaultPasswd) + "long:x:2000:100:" + std::string(1100, 'c') +
                           ":/home/long:/bin/sh\n");
    User body = alice();
    Stamp passwd = box.stamp(kPasswd), shadow = box.stamp(kShadow);
    EXPECT_EQ(update("alice", alice().id(1005)), 0);
    ASSERT_EQ(lock_pw_files(), 1);
    EXPECT_EQ(put_pw_fields("", &body.f, &body.fl), -1);
    unlock_pw_files();
    EXPECT_EQ(box.stamp(kPasswd), passwd);
    EXPECT_EQ(box.stamp(kShadow), shadow);
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_TRUE(audited_about("cannot update entry"));
}

TEST_F(WriteTest, OnlyWhatFitsIsWrittenAndOnlyToARegularFile) {
    mirror::text_buffer text{};
    box.write("/etc/lines", "a\n" + std::string(3000, 'l') + "\nlast");
    FILE *in = fopen(box.path("/etc/lines").c_str(), "r");
    EXPECT_EQ(mirror::copy_file(in, &text), 0);  // long lines carried whole
    fclose(in);
    ASSERT_EQ(symlink(box.path("/etc/lines").c_str(), box.path("/etc/linked").c_str()), 0);
    EXPECT_EQ(mirror::write_to_file("/etc/linked", &text), -1);
    EXPECT_EQ(box.read("/etc/lines"), "a\n" + std::string(3000, 'l') + "\nlast");
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
        _exit(refused == -1 && mirror::write_to_file("/etc/default/small", &big) == 0 ? 0 : 1);
    });
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(box.read(kPasswd), "old\n");
    EXPECT_EQ(box.read("/etc/default/small").size(), 1000u);
}

TEST_F(WriteTest, AStaleLockIsGivenUpOnAndReported) {
    box.write(kShadowLock, "", 0);
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(naps.delays.size(), 19u);
    EXPECT_EQ(left_behind(box), Lines{kShadowLock});
    EXPECT_TRUE(audited_about("Cannot securely create new file"));
}

// An open file description lock conflicts with the writer's record lock
// even inside one process; closing `probe` would drop the writer's lock.
bool lock_with(int probe, short type) {
    struct flock lock = {};
    lock.l_type = type;
    return fcntl(probe, F_OFD_SETLK, &lock) == 0;
}
bool others_can_lock(int probe) {
    return lock_with(probe, F_WRLCK) && lock_with(probe, F_UNLCK);
}

TEST_F(WriteTest, ThePlatformLockIsHeldThroughoutTheRewriteAndWaitedForABoundedTime) {
    ASSERT_EQ(lock_pw_files(), 1);
    int probe = open(box.path(kPwdLock).c_str(), O_RDWR);
    User u = alice();
    ASSERT_EQ(put_pw_fields("alice", &u.f, &u.fl), 1);
    EXPECT_FALSE(others_can_lock(probe));
    ASSERT_EQ(replace_pw_files(&u.f, &u.fl), 1);
    EXPECT_TRUE(others_can_lock(probe));
    ASSERT_TRUE(lock_with(probe, F_WRLCK));
    EXPECT_EQ(lock_pw_files(), 0);
    EXPECT_EQ(naps.delays.size(), 149u);  // about 15 seconds
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_TRUE(audited_about(kPwdLock));
    close(probe);
}

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
    // The update in a child, which checks its identities are restored.
    int update_in_child(const User &u) {
        auto ids = [] {
            uid_t i[6];
            getresuid(&i[0], &i[1], &i[2]);
            getresgid(&i[3], &i[4], &i[5]);
            return std::vector<uid_t>(i, i + 6);
        };
        return run_child([&] {
                   auto before = ids();
                   _exit(update("alice", u) == 1 && ids() == before ? 0 : 1);
               })
            .exit_status;
    }
};

TEST_F(MarkerTest, AMirroredUpdateByRootLeavesTheUsersOwnMarkerOnly) {
    box.write(kMarker, "", 0400);
    ASSERT_EQ(lchown(box.path(kMarker).c_str(), 1000, 100), 0);
    ASSERT_EQ(update_in_child(alice().suclog(kLogin)), 0);
    struct stat st = marker();
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777, st.st_atime, st.st_mtime),
              std::tuple(1000u, 21u, 0400u, kLogin - 2, kLogin));
    ASSERT_EQ(update_in_child(alice()), 0);  // without a last login the marker goes
    EXPECT_FALSE(box.exists(kMarker));

    box.write(kMarker, "theirs", 0644);
    ASSERT_EQ(lchown(box.path(kMarker).c_str(), 1001, 100), 0);
    ASSERT_EQ(update_in_child(alice().suclog(kLogin)), 0);
    EXPECT_EQ(box.read(kMarker), "theirs");
    EXPECT_EQ(std::pair(marker().st_uid, marker().st_mtime == kLogin), std::pair(1001u, false));
    box.remove(kMarker);
    ChildResult r = run_child([&] {  // not without root
        User u = alice().suclog(kLogin);
        if (setresuid(-1, 1001, -1) != 0) _exit(2);
        mirror::put_slogin("alice:x:1000:100:Alice:/home/alice:/bin/sh", &u.f, &u.fl);
    });
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_FALSE(box.exists(kMarker));
}

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
    std::vector<Kill> kills =
        kill_at_every_step(box, {{kPasswd, passwd[0], passwd[1]}, {kShadow, shadow[0], shadow[1]}},
                           {.prepare = [&] { ASSERT_EQ(update("alice", version(0)), 1); },
                            .update = [&] { _exit(update("alice", version(1)) == 1 ? 0 : 1); },
                            .after_kill = {}});
    EXPECT_GE(std::count_if(kills.begin(), kills.end(),
                            [](const Kill &k) { return k.step == authdb::UpdateStep::renamed; }),
              2);
    EXPECT_TRUE(std::any_of(kills.begin(), kills.end(), [](const Kill &k) {
        return k.is_new[0] != k.is_new[1];
    })) << "no kill fell between the two replacements";
}

}  // namespace
}  // namespace vant::test
