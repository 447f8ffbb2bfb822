// Tests of the user and group id maps.
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "frame/map_ids.h"
#include "support/child.h"
#include "support/naps.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

using namespace std::string_literals;

constexpr const char *kPwMap = "/etc/auth/system/pw_id_map";

std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

struct Entry {
    uint32_t id;
    std::string name;
};

// A map file as the format lays it out: entries in the order given, the
// indexes as positions in that order.
std::string map_image(const std::vector<Entry> &entries, const std::vector<int> &by_name,
                      const std::vector<int> &by_id, uint32_t stamp) {
    std::string area;
    std::vector<uint32_t> offsets;
    for (const auto &e : entries) {
        offsets.push_back(static_cast<uint32_t>(area.size()));
        area += le32(e.id) + e.name + '\0';
    }
    std::string file = le32(static_cast<uint32_t>(entries.size())) +
                       le32(static_cast<uint32_t>(area.size())) + area;
    for (int i : by_name)
        file += le32(offsets[i]);
    for (int i : by_id)
        file += le32(offsets[i]);
    return file + le32(stamp);
}

const std::vector<Entry> kDefaultUsers = {
    {0, "root"}, {1, "daemon"}, {7, "auth"}, {1000, "alice"}, {1001, "bob"}};

// Another process holds a write lock on the file until `release` is closed.
pid_t hold_write_lock(const std::string &path, int &release) {
    int ready[2], done[2];
    if (pipe(ready) != 0 || pipe(done) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(done[1]);
        int fd = open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        char c = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(1);
        _exit(read(done[0], &c, 1) < 0 ? 1 : 0);
    }
    char c = 'n';
    if (read(ready[0], &c, 1) != 1) return -1;
    release = done[1];
    return c == 'y' ? pid : -1;
}

class MapIdsTest : public SandboxTest {
  protected:
    // A map another process holds is waited for, briefly.
    void SetUp() override { naps.real_share = 0.001; }
    struct stat stat_of(const std::string &logical) const {
        struct stat st {};
        stat(box.path(logical).c_str(), &st);
        return st;
    }
    long long changed_at(const std::string &logical) const {
        return stat_of(logical).st_ctim.tv_sec * 1000000000LL + stat_of(logical).st_ctim.tv_nsec;
    }
    // So that a map written from now on is not taken for one of the source's last second.
    static void next_second() { usleep(1100 * 1000); }
    uint32_t source_stamp() const { return static_cast<uint32_t>(stat_of("/etc/passwd").st_ctime); }
};

TEST_F(MapIdsTest, SourceLinesAreTakenByTheirRules) {
    std::string head = "longname:x:77:";
    std::string long_line = head + std::string(frame::kLinePiece - head.size(), 'g') +
                            "inject:x:3:3::/:";  // would be a line of its own if not skipped
    box.write("/etc/passwd",
              "root:x:0:0::/:\ntoor:x:0:0::/:\n+plus:x:5:5::/:\nbig:x:65536:1::/:\n"
              "alpha:x:x12:1::/:\nshort:x\nlead:x:0042junk\ndup:x:300:1::/:\ndup:x:301:1::/:\n"s +
                  long_line + "\n");
    for (const char *left_out : {"toor", "+plus", "plus", "big", "alpha", "short", "inject"})
        EXPECT_EQ(pw_nametoid(left_out), -1) << left_out;
    EXPECT_EQ(pw_nametoid("lead"), 42);
    EXPECT_EQ(pw_nametoid("dup"), 300);  // the first line's id, as with a repeated id
    EXPECT_STREQ(pw_idtoname(301), "dup");
    EXPECT_EQ(pw_nametoid("longname"), 77);
    EXPECT_EQ(box.read(kPwMap).substr(0, 4), le32(5));
}

// Children only: a child would inherit this process's table.
TEST_F(MapIdsTest, ChangedSourceIsRebuiltAndLaterProcessesLoadTheMap) {
    auto carol_in_child = [this](bool add) {
        return run_child([this, add] {
                   if (add && pw_nametoid("bob") != 1001) _exit(1);
                   if (add)
                       box.write("/etc/passwd",
                                 std::string(kDefaultPasswd) + "carol:x:1002:100::/:\n");
                   _exit(pw_nametoid("carol") == 1002 ? 0 : 2);
               })
            .exit_status;
    };
    EXPECT_EQ(carol_in_child(true), 0) << "changed within the same second";
    EXPECT_EQ(box.read(kPwMap).substr(0, 4), le32(6));
    // A map built in the second of the source's change may be stale.
    long long built = changed_at(kPwMap);
    EXPECT_EQ(carol_in_child(false), 0);
    if (built / 1000000000 == stat_of("/etc/passwd").st_ctime) {
        EXPECT_NE(changed_at(kPwMap), built) << "rebuilt";
    }
    next_second();
    EXPECT_EQ(carol_in_child(false), 0);
    built = changed_at(kPwMap);
    EXPECT_EQ(carol_in_child(false), 0);
    EXPECT_EQ(changed_at(kPwMap), built) << "loaded, not rebuilt";
    EXPECT_EQ(stat_of(kPwMap).st_mode, static_cast<mode_t>(S_IFREG | 0664));
}

TEST_F(MapIdsTest, OnlyWholeMapsOfTheCurrentSourceAreLoaded) {
    next_second();
    std::vector<Entry> with_ghost = kDefaultUsers;
    with_ghost.push_back({4242, "ghost"});
    std::string ghostly =
        map_image(with_ghost, {3, 2, 4, 1, 5, 0}, {0, 1, 2, 3, 4, 5}, source_stamp());
    std::string wrong_stamp = ghostly.substr(0, ghostly.size() - 4) + le32(source_stamp() + 1);
    std::string bad_offset = ghostly;
    bad_offset.replace(bad_offset.size() - 8, 4, le32(9999));
    struct Case {
        std::string bytes;
        bool locked;
        int ghost;
    } cases[] = {{ghostly, false, 4242},
                 {ghostly, true, -1},
                 {wrong_stamp, false, -1},
                 {le32(7) + ghostly.substr(4), false, -1},
                 {bad_offset, false, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        box.write(kPwMap, c.bytes);
        int release = -1;
        pid_t holder = c.locked ? hold_write_lock(box.path(kPwMap), release) : 0;
        ASSERT_GE(holder, 0);
        auto r = run_child([&c] {
            bool right = pw_nametoid("ghost") == c.ghost && pw_nametoid("alice") == 1000;
            // A locked map is tried three times to read, three to rewrite.
            _exit(right && naps.delays == std::vector<long>(c.locked ? 4 : 0, 1000) ? 0 : 1);
        });
        EXPECT_EQ(r.exit_status, 0);
        std::string left = c.ghost >= 0 || c.locked ? c.bytes
                                                    : map_image(kDefaultUsers, {3, 2, 4, 1, 0},
                                                                {0, 1, 2, 3, 4}, source_stamp());
        EXPECT_EQ(box.read(kPwMap), left);
        if (holder > 0) {
            close(release);
            waitpid(holder, nullptr, 0);
        }
    }
}

TEST_F(MapIdsTest, LookupsWorkWhenTheMapCannotBeWrittenAndAFailedWriteLeavesNone) {
    box.write("/victim", "precious");
    ASSERT_EQ(symlink(box.path("/victim").c_str(), box.path(kPwMap).c_str()), 0);
    EXPECT_EQ(run_child([] { _exit(pw_nametoid("alice") == 1000 ? 0 : 1); }).exit_status, 0);
    EXPECT_EQ(box.read("/victim"), "precious");
    box.remove(kPwMap);
    auto r = run_child([this] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = {64, RLIM_INFINITY}, large = {RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &small);  // the default map takes 99 bytes
        if (pw_nametoid("alice") != -1 || box.exists(kPwMap)) _exit(1);
        if (pw_nametoid("alice") != -1) _exit(2);  // tried again, failed again
        setrlimit(RLIMIT_FSIZE, &large);
        _exit(pw_nametoid("alice") == 1000 && box.exists(kPwMap) ? 0 : 3);
    });
    EXPECT_EQ(r.exit_status, 0);
}

bool same_table(const frame::IdTable &a, const frame::IdTable &b) {
    return a.count == b.count && a.bytes == b.bytes &&
           memcmp(a.block, b.block, frame::body_size(a.count, a.bytes)) == 0;
}

// Two processes rebuild the map, write it whole with one or the other of
// two tables of the same size and stamp, and load it, over and over: every
// load must give one of the two tables, never a mixture.
TEST_F(MapIdsTest, ConcurrentRebuildsNeverHandOutAHalfWrittenMap) {
    std::string text, other;
    for (int i = 1; i <= 20000; ++i) {
        std::string name = "user" + std::to_string(i);
        text += name + ":x:" + std::to_string(i) + ":1::/:\n";
        other += name + ":x:" + std::to_string(i + 20000) + ":1::/:\n";
    }
    box.write("/etc/passwd", text);
    next_second();
    auto work = [&] {
        frame::IdMap &m = frame::user_map();
        frame::IdTable tables[2];
        frame::build_table(text, tables[0]);
        frame::build_table(other, tables[1]);
        struct stat source = stat_of("/etc/passwd");
        int loads = 0;
        for (int i = 0; i < 1000; ++i) {
            if (i % 50 == 0 && (frame::make_file(m) != 0 || !same_table(m.table, tables[0])))
                _exit(1);
            if (i % 2 == 0) {
                frame::MapWriter writer(m.map_path);
                if (writer.is_open() && writer.write(tables[i / 2 % 2], source_stamp()) != 0)
                    _exit(2);
                writer.finish(getuid(), getgid());
            } else if (frame::read_file(m, source) == 0) {
                if (!same_table(m.table, tables[0]) && !same_table(m.table, tables[1])) _exit(3);
                ++loads;
            }
        }
        _exit(loads > 0 ? 0 : 4);
    };
    fflush(nullptr);
    pid_t first = fork();
    if (first == 0) work();
    auto second = run_child(work);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_EQ(second.exit_status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace vant::test
