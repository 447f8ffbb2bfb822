// Tests of the database files: where they lie, waiting for a writer before
// opening one, the per-database readers, and the System Default stream with
// its built-in entry.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <functional>
#include <string>
#include <vector>

#include "authdb/authcap.h"
#include "authdb/authcap_fixture.h"
#include "authdb/default_stream.h"
#include "databases/system_default.h"
#include "support/naps.h"

namespace vant::test {
namespace {

using authdb::current_entry;

std::string owned(char *text) {
    std::string copy = text != nullptr ? text : "(null)";
    free(text);
    return copy;
}

std::string path_of(const char *name, int object) {
    return owned(find_auth_file(name, object));
}

TEST(FindAuthFile, EachDatabaseHasItsPlace) {
    EXPECT_EQ(path_of("alice", 14), "/tcb/files/auth/a/alice");
    EXPECT_EQ(path_of("x", 15), "/etc/auth/system/ttys");
    EXPECT_EQ(path_of(nullptr, 16), "/etc/auth/system/files");
    EXPECT_EQ(path_of(nullptr, 18), "/etc/auth/system/default");
    EXPECT_EQ(path_of(nullptr, 20), "/etc/auth/system/devassign");
    EXPECT_EQ(path_of("dflt_users", 19), "/etc/auth/subsystems/dflt_users");
    EXPECT_EQ(path_of("alice", 17), "(null)");
    EXPECT_EQ(path_of("alice", 21), "(null)");
    // A name must stand for one file of its directory.
    for (const char *name : {"", ".", "..", "../x", "a/b"}) {
        EXPECT_EQ(path_of(name, 14), "(null)") << name;
        EXPECT_EQ(path_of(name, 19), "(null)") << name;
    }
    EXPECT_EQ(path_of(nullptr, 14), "(null)");
}

TEST(FindAuthFile, DefaultsChooseTheDirectory) {
    asetdefaults(1);
    EXPECT_EQ(path_of(nullptr, 15), "/etc/auth/secure/ttys");
    EXPECT_EQ(path_of("alice", 14), "/tcb/files/auth/a/alice");
    asetdefaults(7);
    EXPECT_EQ(path_of(nullptr, 15), "/etc/auth/insecure/ttys");
    asetdefaults(-1);
    EXPECT_EQ(path_of(nullptr, 18), "/etc/auth/insecure/default");
    char *new_name = nullptr, *old_name = nullptr;
    ASSERT_EQ(make_transition_files("/etc/auth/insecure/ttys", &new_name, &old_name), 1);
    EXPECT_EQ(owned(new_name), "/etc/auth/insecure/ttys-t");
    EXPECT_EQ(owned(old_name), "/etc/auth/insecure/ttys-o");
}

class OpenTest : public AuthcapTest {
  protected:
    static constexpr const char *kTtys = "/etc/auth/system/ttys";
    static constexpr const char *kBusy = "/etc/auth/system/ttys-t";

    void SetUp() override {
        AuthcapTest::SetUp();
        box.write(kTtys, "tty01:chkent:\n");
    }
    void TearDown() override {
        if (fp != nullptr) fclose(fp);
        AuthcapTest::TearDown();
    }
    void touch_busy_file() { set_times(box.path(kBusy), ++stamp); }
    static void set_times(const std::string &host, time_t when) {
        struct timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, host.c_str(), times, 0);
    }

    FILE *fp = nullptr;
    time_t stamp = 1000000;
};

TEST_F(OpenTest, OpensAtOnceWithoutAWriter) {
    open_auth_file(nullptr, 15, &fp);
    ASSERT_NE(fp, nullptr);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(fcntl(fileno(fp), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    FILE *none = reinterpret_cast<FILE *>(1);
    open_auth_file(nullptr, 20, &none);
    EXPECT_EQ(none, nullptr);
}

TEST_F(OpenTest, GivesUpOnAWriterThatStopped) {
    box.write(kBusy, "half written");
    touch_busy_file();
    open_auth_file(nullptr, 15, &fp);
    EXPECT_EQ(fp, nullptr);
    // One look finds the file new, then 18 find it unchanged.
    ASSERT_EQ(naps.delays.size(), 19u);
    // Each wait grows by 50 to 249 milliseconds; past a second it drops to 750.
    long before = 0;
    for (long delay : naps.delays) {
        bool grew = delay - before >= 50 && delay - before <= 249 && delay <= 1000;
        bool dropped = delay == 750 && before + 249 > 1000;
        EXPECT_TRUE(grew || dropped) << before << " then " << delay;
        before = delay;
    }
}

TEST_F(OpenTest, WaitsForALiveWriterThenReadsItsWork) {
    box.write(kBusy, "tty02:chkent:\n");
    int touches = 0;
    naps.each = [&](size_t) {
        if (++touches < 40)
            touch_busy_file();
        else
            rename(box.path(kBusy).c_str(), box.path(kTtys).c_str());
    };
    open_auth_file(nullptr, 15, &fp);
    naps.each = nullptr;
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(naps.delays.size(), 40u);
    long pos = 0;
    ASSERT_EQ(agettty(&pos, fp, nullptr), 1);
    EXPECT_STREQ(current_entry(), "tty02:chkent:");
}

TEST_F(AuthcapTest, UserEntryIsReadFromTheUsersOwnFile) {
    box.mkdir("/tcb/files/auth/a");
    box.write("/tcb/files/auth/a/alice", "alice:u_name=alice:u_id#1000:chkent:\n");
    ASSERT_EQ(agetuser("alice"), 1);
    long id = 0;
    EXPECT_EQ(agtnum("u_id", &id), 0);
    EXPECT_EQ(id, 1000);
    box.write("/tcb/files/auth/a/alice", "alicia:u_name=alice:chkent:\n");
    EXPECT_EQ(agetuser("alice"), 0);
    EXPECT_EQ(agetuser("albert"), -1);
    EXPECT_EQ(agetuser(nullptr), -1);
    EXPECT_EQ(agetuser("../a/alice"), -1);
}

class DefaultTest : public AuthcapTest {
  protected:
    static constexpr const char *kDefault = "/etc/auth/system/default";
    void tcb_files_off() { box.write("/etc/default/security", "TCBFILES=OFF\n"); }
    std::string name() {
        char area[64], *at = area;
        const char *value = agetstr("d_name", &at);
        return value != nullptr ? value : "(null)";
    }
};

TEST_F(DefaultTest, BuiltInEntryIsServedOncePerPass) {
    tcb_files_off();
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "default");
    EXPECT_EQ(agetflag("u_pickpw"), 1);
    EXPECT_EQ(agetflag("u_genpwd"), 0);
    long timeout = 0;
    EXPECT_EQ(agtnum("t_login_timeout", &timeout), 0);
    EXPECT_EQ(timeout, 60);
    EXPECT_EQ(agetdefault(), 0);
    EXPECT_EQ(agetdefault_buf(), nullptr);
    endprdfent();
    char *entry = agetdefault_buf();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry, current_entry());
    EXPECT_EQ(strncmp(entry, "default:d_name=default:u_pwd=*:", 31), 0);
    EXPECT_EQ(agetdefault(), 0);
    // A new pass, while the file is still missing, serves it again.
    setprdfent();
    EXPECT_EQ(agetdefault(), 1);
    EXPECT_TRUE(reports().empty());
}

TEST_F(DefaultTest, WithoutTheSwitchAMissingFileHasNoEntries) {
    box.write("/etc/default/security", "TCBFILES=OFF \n");
    EXPECT_EQ(agetdefault(), -1);
    EXPECT_EQ(agetdefault_buf(), nullptr);
}

TEST_F(DefaultTest, FileIsReadInPassesAndItsBuiltInNotServed) {
    tcb_files_off();
    box.write(kDefault, "default:d_name=default:chkent:\nother:d_name=other:chkent:\n");
    EXPECT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "default");
    EXPECT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "other");
    EXPECT_EQ(agetdefault(), 0);
    FILE *stream = vant::authdb::default_stream().stream.fp;
    setprdfent();
    EXPECT_EQ(vant::authdb::default_stream().stream.fp, stream);  // unchanged file
    EXPECT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "default");
    endprdfent();
    EXPECT_EQ(current_entry(), nullptr);
    EXPECT_EQ(vant::authdb::default_stream().stream.fp, nullptr);
}

TEST_F(DefaultTest, ReplacedOrRemovedFileIsSeenByTheNextPass) {
    box.write(kDefault, "default:d_name=old:chkent:\n");
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "old");
    // Same size and, on a coarse clock, the same second: only the file differs.
    box.write("/etc/auth/system/default-t", "default:d_name=new:chkent:\n");
    rename(box.path("/etc/auth/system/default-t").c_str(), box.path(kDefault).c_str());
    setprdfent();
    EXPECT_NE(vant::authdb::default_stream().stream.fp, nullptr);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "new");
    setprdfent();
    EXPECT_EQ(agetdefault(), 1);
    // Without the file a new pass starts with the built-in entry.
    tcb_files_off();
    box.remove(kDefault);
    setprdfent();
    EXPECT_EQ(vant::authdb::default_stream().stream.fp, nullptr);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "default");
}

TEST_F(DefaultTest, ResetReadsTheGivenFileFromItsStart) {
    box.write(kDefault, "default:d_name=one:chkent:\n");
    box.write("/etc/auth/system/default.new", "default:d_name=two:chkent:\n");
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(vant::databases::reset_default("/etc/auth/system/default.new"), 0);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "two");
    EXPECT_EQ(agetdefault(), 0);
    EXPECT_EQ(vant::databases::reset_default("/etc/auth/system/none"), 0);
    EXPECT_EQ(vant::authdb::default_stream().stream.fp, nullptr);
}

}  // namespace
}  // namespace vant::test
