// Tests of the database files: where they lie, waiting for a writer before
// opening one, the per-user reader, and the System Default stream with its
// built-in entry.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

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

TEST(FindAuthFile, EachDatabaseHasItsPlaceChosenByTheDefaults) {
    struct {
        int defaults;
        const char *name;
        int object;
        const char *path;
    } rows[] = {{0, "alice", 14, "/tcb/files/auth/a/alice"},
                {0, "x", 15, "/etc/auth/system/ttys"},
                {0, nullptr, 16, "/etc/auth/system/files"},
                {0, nullptr, 18, "/etc/auth/system/default"},
                {0, nullptr, 20, "/etc/auth/system/devassign"},
                {0, "dflt_users", 19, "/etc/auth/subsystems/dflt_users"},
                {0, "alice", 17, "(null)"},
                {0, "alice", 21, "(null)"},
                {0, nullptr, 14, "(null)"},
                {1, nullptr, 15, "/etc/auth/secure/ttys"},
                {1, "alice", 14, "/tcb/files/auth/a/alice"},
                {7, nullptr, 15, "/etc/auth/insecure/ttys"},
                {-1, nullptr, 18, "/etc/auth/insecure/default"}};
    for (const auto &row : rows) {
        if (row.defaults != 0) asetdefaults(row.defaults);
        EXPECT_EQ(owned(find_auth_file(row.name, row.object)), row.path) << row.object;
    }
    // A name must stand for one file of its directory.
    for (const char *name : {"", ".", "..", "../x", "a/b"})
        for (int object : {14, 19})
            EXPECT_EQ(owned(find_auth_file(name, object)), "(null)") << name;
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
        box.write(kBusy, "tty02:chkent:\n");
    }
    void TearDown() override {
        if (fp != nullptr) fclose(fp);
        AuthcapTest::TearDown();
    }
    void touch_busy_file() {
        struct timespec times[2] = {{++stamp, 0}, {stamp, 0}};
        utimensat(AT_FDCWD, box.path(kBusy).c_str(), times, 0);
    }
    FILE *fp = nullptr;
    time_t stamp = 1000000;
};

TEST_F(OpenTest, OpensAtOnceWithoutAWriter) {
    box.remove(kBusy);
    open_auth_file(nullptr, 15, &fp);
    ASSERT_NE(fp, nullptr);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(fcntl(fileno(fp), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    FILE *none = reinterpret_cast<FILE *>(1);
    open_auth_file(nullptr, 20, &none);
    EXPECT_EQ(none, nullptr);
}

TEST_F(OpenTest, GivesUpOnAWriterThatStopped) {
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
    naps.each = [this](size_t count) {
        if (count < 40)
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
    for (const char *name : {"albert", "../a/alice", static_cast<const char *>(nullptr)})
        EXPECT_EQ(agetuser(name), -1);
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
    FILE *stream() const { return authdb::default_stream().stream.fp; }
};

TEST_F(DefaultTest, WithoutTheSwitchAMissingFileHasNoEntries) {
    EXPECT_EQ(agetdefault(), -1);
    EXPECT_EQ(agetdefault_buf(), nullptr);
}

// The built-in entry is served only while the file is missing.
TEST_F(DefaultTest, FileIsReadInPassesAndAReplacedOrRemovedOneSeenByTheNextPass) {
    tcb_files_off();
    box.write(kDefault, "default:d_name=old:chkent:\nother:d_name=other:chkent:\n");
    for (const char *want : {"old", "other"}) {
        ASSERT_EQ(agetdefault(), 1);
        EXPECT_EQ(name(), want);
    }
    EXPECT_EQ(agetdefault(), 0);
    FILE *before = stream();
    setprdfent();
    EXPECT_EQ(stream(), before);  // unchanged file
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "old");
    // Same size and, on a coarse clock, the same second: only the file differs.
    box.write("/etc/auth/system/default-t",
              "default:d_name=new:chkent:\nother:d_name=newer:chkent:\n");
    rename(box.path("/etc/auth/system/default-t").c_str(), box.path(kDefault).c_str());
    setprdfent();
    EXPECT_NE(stream(), nullptr);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "new");
    // Without the file a new pass starts with the built-in entry.
    box.remove(kDefault);
    setprdfent();
    EXPECT_EQ(stream(), nullptr);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "default");
    // A reset reads the file given from its start.
    box.write("/etc/auth/system/default.new", "default:d_name=two:chkent:\n");
    EXPECT_EQ(databases::reset_default("/etc/auth/system/default.new"), 0);
    ASSERT_EQ(agetdefault(), 1);
    EXPECT_EQ(name(), "two");
    EXPECT_EQ(agetdefault(), 0);
    EXPECT_EQ(databases::reset_default("/etc/auth/system/none"), 0);
    EXPECT_EQ(stream(), nullptr);
    endprdfent();
    EXPECT_EQ(current_entry(), nullptr);
}

}  // namespace
}  // namespace vant::test
