#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

using mirror::get_pw_fields;
using mirror::open_file;
using mirror::open_pw_files;

TEST_F(PwMirrorTest, OpensAtOnceWithoutALockOrWithoutTheOpenLock) {
    FILE *stream = nullptr;
    EXPECT_EQ(open_file("/etc/nothing", &stream), 0);
    EXPECT_EQ(stream, nullptr);
    box.write(kShadowLock, "", 0);
    set_open_lock(OPEN_NO_WAIT);
    EXPECT_EQ(open_file(kShadow, &stream), 1);
    fclose(stream);
    EXPECT_TRUE(naps.delays.empty());
}

TEST_F(PwMirrorTest, OpeningWaitsWhileTheLockChangesAndGivesUpWhenItDoesNot) {
    FILE *stream = stdin;
    box.write(kPasswdLock, "", 0);
    naps.each = [&](size_t count) {
        if (count < 30)
            touch(kPasswdLock, static_cast<long>(count));
        else
            box.remove(kPasswdLock);
    };
    EXPECT_EQ(open_file(kPasswd, &stream), 1);
    EXPECT_EQ(naps.delays.size(), 30u);
    fclose(stream);
    naps = {};
    box.write(kPasswdLock, "", 0);
    EXPECT_EQ(open_file(kPasswd, &stream), -1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(naps.delays.size(), 19u);  // one look finds the lock new, 18 unchanged
}

TEST_F(PwMirrorTest, OnlyTheEtcFilesModeFailsWithoutPasswd) {
    box.write(kPasswdLock, "", 0);
    EXPECT_EQ(open_pw_files(), 0);
    EXPECT_EQ(mirror::passwd_fp, nullptr);
    set_override_mode(OVERRIDE_ETC_FILES);
    EXPECT_EQ(open_pw_files(), -1);
    box.remove(kPasswdLock);
    box.remove(kShadow);
    EXPECT_EQ(open_pw_files(), 0);
    EXPECT_EQ(mirror::shadow_fp, nullptr);
}

class ReadTest : public PwMirrorTest {
  protected:
    User etc;
    // A fresh run of lookups unless `keep`.
    int read(const char *name, bool keep = false) {
        if (!keep) mirror::close_pw_files();
        EXPECT_EQ(open_pw_files(), 0);
        etc = {};
        return get_pw_fields(name, &etc.f, &etc.fl);
    }
    void passwd_line(const std::string &line) const {
        box.write(kPasswd, "root:x:0:0:root:/root:/bin/sh\n" + line +
                               "\nbob:x:1001:100:Bob:/home/bob:/bin/sh\n");
    }
};

// A null shadow line: no /etc/shadow; an empty one: no line of the user
// there, and then the user's counts are not taken as days.
TEST_F(ReadTest, LinesGiveTheEtcView) {
    struct Row {
        const char *passwd, *shadow;
        User expected;
    };
    auto alice = [] { return User().name("alice").id(1000).lock(0); };
    const std::string too_long = "alice:" + std::string(200, 'p') + ":1000:100::/:/bin/sh";
    const std::string cut(VANT_PWD_LEN, 'p');
    const char *line = "alice:x:1000:100::/:";
    const Row rows[] = {
        {"alice:*LK*abc.def,M2:1000:100::/:", nullptr,
         alice().lock(1).pwd("abc.def").exp(24 * kWeek).minchg(4 * kWeek)},
        {"alice:abc.def,..Ab:1000:100::/:", nullptr,
         alice().pwd("abc.def").exp(0).minchg(0).succhg(2508 * kWeek)},  // "Ab": 12 + 39*64
        {"alice:abc.def,zzzzzz:1000:100::/:", nullptr,
         alice().pwd("abc.def").exp(63 * kWeek).minchg(63 * kWeek).succhg(3550 * kWeek)},
        {line, nullptr, alice().pwd("x")},
        {too_long.c_str(), nullptr, alice().pwd(cut.c_str())},
        {line, "", User().name("alice").id(1000)},
        {line, "alice:h:10957:7:90:14:30:20000:",
         alice().pwd("h").succhg(10957 * kDay).minchg(7 * kDay).exp(90 * kDay)},
        {line, "alice:h:99999:-5:0", alice().pwd("h").succhg(24855 * kDay).minchg(0).exp(0)},
        {"alice:ab,M:1000:100::/:", "alice:*LK*h", alice().lock(1).pwd("h").exp(24 * kWeek)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message() << r.passwd << " / " << (r.shadow ? r.shadow : "-"));
        passwd_line(r.passwd);
        if (r.shadow == nullptr)
            box.remove(kShadow);
        else
            box.write(kShadow, std::string("root:*:19000::\n") + r.shadow + "\n", 0640);
        ASSERT_EQ(read("alice"), 0);
        EXPECT_EQ(etc.text(), r.expected.text());
        EXPECT_EQ(mirror::shadow_exists, r.shadow != nullptr && *r.shadow != '\0');
    }
}

TEST_F(ReadTest, OnlyTheUsersOwnLineIsFoundAndAStarMarksAnOldStyleFile) {
    passwd_line("alice:*:1000:100::/home/alice:/bin/sh");
    for (const char *name : {"nobody", "", "alicex", "alic"})
        EXPECT_EQ(read(name), -1) << name;
    EXPECT_EQ(get_pw_fields(nullptr, &etc.f, &etc.fl), -1);
    EXPECT_EQ(get_pw_fields("alice", &etc.f, nullptr), -1);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(mirror::pre_v3_passwd(), 1);
    ASSERT_EQ(read("bob"), 0);
    EXPECT_EQ(mirror::pre_v3_passwd(), 0);
}

TEST_F(ReadTest, ALookupSeesAFileReplacedSinceTheLastOne) {
    ASSERT_EQ(read("alice"), 0);
    FILE *kept = mirror::shadow_fp;
    ASSERT_EQ(read("bob", true), 0);
    EXPECT_EQ(mirror::shadow_fp, kept);
    EXPECT_EQ(etc.f.u_exp, 90 * kDay);
    box.write("/etc/shadow.new", "bob:newpw:19500:1:45\n", 0640);
    ASSERT_EQ(rename(box.path("/etc/shadow.new").c_str(), box.path(kShadow).c_str()), 0);
    ASSERT_EQ(read("bob", true), 0);
    EXPECT_STREQ(etc.f.u_pwd, "newpw");
    EXPECT_EQ(etc.f.u_exp, 45 * kDay);
}

// The user's own marker, its access time 2 seconds before its
// modification time, gives the last login; nothing else does.
TEST_F(ReadTest, TheLastLoginComesFromTheUsersOwnMarker) {
    constexpr const char *kMarker = "/home/alice/.lastlogin";
    constexpr time_t kLogin = 1700000000;
    passwd_line("alice:x:" + std::to_string(getuid()) + ":100::/home/alice:/bin/sh");
    // seconds before, given away, found
    for (auto [before, other_owner, found] :
         {std::tuple{2, false, true}, {3, false, false}, {2, geteuid() == 0, geteuid() != 0}}) {
        box.write(kMarker, "", 0400);
        struct timeval t[2] = {{kLogin - before, 0}, {kLogin, 0}};
        ASSERT_EQ(utimes(box.path(kMarker).c_str(), t), 0);
        ASSERT_EQ(other_owner ? lchown(box.path(kMarker).c_str(), getuid() + 1, 0) : 0, 0);
        ASSERT_EQ(read("alice"), 0);
        EXPECT_EQ(etc.has(PR_U_SUCLOG), found) << before << other_owner;
        EXPECT_EQ(found ? kLogin : 0, etc.f.u_suclog);
    }
}

}  // namespace
}  // namespace vant::test
