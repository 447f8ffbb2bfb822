// Waiting for a writer before opening a database, the per-user reader, and
// the System Default stream with its built-in entry.
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "authdb/authcap.h"
#include "authdb/authcap_fixture.h"
#include "authdb/default_stream.h"
#include "support/naps.h"

namespace vant::test {
namespace {

using authdb::current_entry;

// Without a writer the file opens at once; a live writer is waited for and
// its work read.
TEST_F(AuthcapTest, OpensAtOnceOrWaitsForALiveWriterThenReadsItsWork) {
    const std::string ttys = box.path("/etc/auth/system/ttys"),
                      busy = box.path("/etc/auth/system/ttys-t");
    box.write("/etc/auth/system/ttys", "tty01:chkent:\n");
    FILE *fp = nullptr, *none = reinterpret_cast<FILE *>(1);
    open_auth_file(nullptr, 15, &fp);
    ASSERT_NE(fp, nullptr);
    EXPECT_TRUE(naps.delays.empty());
    EXPECT_EQ(fcntl(fileno(fp), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    fclose(fp);
    open_auth_file(nullptr, 20, &none);
    EXPECT_EQ(none, nullptr);
    box.write("/etc/auth/system/ttys-t", "tty02:chkent:\n");
    time_t stamp = 1000000;
    naps.each = [&](size_t count) {
        struct timespec times[2] = {{++stamp, 0}, {stamp, 0}};
        if (count < 40)
            utimensat(AT_FDCWD, busy.c_str(), times, 0);
        else
            rename(busy.c_str(), ttys.c_str());
    };
    open_auth_file(nullptr, 15, &fp);
    naps.each = nullptr;
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(naps.delays.size(), 40u);
    long pos = 0;
    EXPECT_EQ(agettty(&pos, fp, nullptr), 1);
    EXPECT_STREQ(current_entry(), "tty02:chkent:");
    fclose(fp);
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
    std::string name() {
        char area[64], *at = area;
        const char *value = agetstr("d_name", &at);
        return value != nullptr ? value : "(null)";
    }
    FILE *stream() const { return authdb::default_stream().stream.fp; }
};

// The built-in entry is served only while the file is missing.
TEST_F(DefaultTest, FileIsReadInPassesAndAReplacedOrRemovedOneSeenByTheNextPass) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
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
    endprdfent();
    EXPECT_EQ(current_entry(), nullptr);
}

}  // namespace
}  // namespace vant::test
