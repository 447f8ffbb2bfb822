#include "mirror/line_finder.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/nis_fake.h"
#include "support/recorder_log.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using mirror::find_any_line;
using mirror::find_line;
using mirror::found_line;
using mirror::match_line;
using mirror::skipfield;
using mirror::text_buffer;
using Calls = std::vector<std::string>;

std::string text_of(const text_buffer &buf) {
    return std::string(buf.storage != nullptr ? buf.storage : "", static_cast<size_t>(buf.used));
}

std::string entry_text() {
    return found_line() != nullptr ? found_line() : "(null)";
}

// The calls of the hooks named, or all but the per-line ones.
Calls only(const std::set<std::string> &hooks = {}) {
    Calls kept;
    for (const auto &c : nis().calls)
        if (hooks.empty() ? c != "getline(3)" && c != "control(3,3)"
                          : hooks.count(c.substr(0, c.find('('))) != 0)
            kept.push_back(c);
    return kept;
}

TEST(MatchLineTest, NameMustBeFollowedBySeparatorOrLineEndAndFieldsSplitAtTheFirst) {
    const std::tuple<const char *, const char *, char, int> rows[] = {
        {"root", "root:x:0:0", ':', 1},   {"root", "rootx:x:0:...", ':', 0},
        {"MINWEEKS", "MINWEEKS", '=', 1}, {"MINWEEKS", "MINWEEKS:2", '=', 0},
        {"root", "roo", ':', 0},          {"", ":x", ':', 1},
        {nullptr, "root:x", ':', 0}};
    for (auto [name, line, sep, match] : rows)
        EXPECT_EQ(match_line(name, line, sep), match) << (name ? name : "null") << " in " << line;
    char line[] = "alice::x";
    EXPECT_STREQ(skipfield(skipfield(line, ':'), ':'), "x");
    EXPECT_STREQ(line, "alice");
    EXPECT_EQ(skipfield(line, ':'), nullptr);
}

// Searches of files in the sandbox.
class LineFinderTest : public SandboxTest {
  protected:
    void TearDown() override {
        close();
        mirror::passwd_fp = nullptr;
    }
    FILE *open(const std::string &content, long at = 0) {
        close();
        box.write("/etc/lines", content);
        fp_ = fopen(box.path("/etc/lines").c_str(), "r");
        EXPECT_NE(fp_, nullptr);
        fseek(fp_, at, SEEK_SET);
        return fp_;
    }
    void close() {
        if (fp_ != nullptr) fclose(fp_);
        fp_ = nullptr;
        mirror::free_buffer(&keep);
    }
    // The library's /etc/passwd stream, searched with the NIS hooks.
    FILE *open_passwd(const std::string &content, long at = 0) {
        nis();
        return mirror::passwd_fp = open(content, at);
    }
    FILE *fp_ = nullptr;
    text_buffer keep{};
};

const char kFile[] = "alice:x:1\nbob:x:2\ncarol:x:3\ndave:x:4\n";

// One search of a fresh stream from a position: what it finds, the lines
// it passes over, and where it leaves the stream (-1: not looked at).
TEST_F(LineFinderTest, OneSearch) {
    struct Row {
        const char *content;
        long from;
        std::vector<const char *> names;
        char sep;
        int wrap;
        const char *entry, *kept;
        long then_at;
    };
    // Lines are cut to 1022 characters; the rest of this one would read as a
    // line of "ghost" if it were taken as one.
    const std::string ghost = "long:" + std::string(1018, 'a') + "ghost:x:9";
    const std::string with_ghost = "alice:x:1\n" + ghost + "\nnext:x:2\n";
    const std::string ghost_cut = "alice:x:1\n" + ghost.substr(0, 1022) + "\nnext:x:2\n";
    const Row rows[] = {
        {kFile, 0, {"carol"}, ':', 1, "carol:x:3", "alice:x:1\nbob:x:2\n", 28},
        {kFile, 18, {"alice"}, ':', 1, "alice:x:1", "carol:x:3\ndave:x:4\n", 10},
        {kFile, 18, {"zed"}, ':', 1, "(null)", "carol:x:3\ndave:x:4\nalice:x:1\nbob:x:2\n", 18},
        {kFile, 18, {"alice"}, ':', 0, "(null)", "carol:x:3\ndave:x:4\n", -1},
        {kFile, 0, {"dave", "bob"}, ':', 1, "bob:x:2", "alice:x:1\n", -1},
        {"PASSREQ\nMINWEEKS\n", 0, {"MINWEEKS"}, '=', 1, "MINWEEKS", "PASSREQ\n", -1},
        {with_ghost.c_str(), 0, {"ghost"}, ':', 1, "(null)", ghost_cut.c_str(), -1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message() << std::string(r.content).substr(0, 30) << " from "
                                          << r.from << " for " << r.names[0]);
        FILE *fp = open(r.content, r.from);
        std::vector<const char *> names = r.names;
        names.push_back(nullptr);
        EXPECT_EQ(find_any_line(names.data(), r.sep, fp, &keep, r.wrap), 0);
        EXPECT_EQ(entry_text(), r.entry);
        EXPECT_EQ(text_of(keep), r.kept);
        EXPECT_EQ(r.then_at < 0 ? -1 : ftell(fp), r.then_at);
    }
}

// Lookups in file order read each line once; the line found is split in
// place and lasts until the next search.
TEST_F(LineFinderTest, SearchesGoOnFromWhereTheLastOneStopped) {
    FILE *fp = open(kFile);
    for (const char *name : {"alice", "bob", "carol", "dave"}) {
        EXPECT_EQ(find_line(name, ':', fp, &keep), 0) << name;
        EXPECT_EQ(match_line(name, found_line(), ':'), 1) << name;
    }
    EXPECT_EQ(keep.used, 0);
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "alice:x:1\n");
    char *rest = skipfield(found_line(), ':');
    EXPECT_STREQ(found_line(), "bob");
    EXPECT_STREQ(rest, "x:2");
    mirror::free_userbuf();
    EXPECT_EQ(found_line(), nullptr);
}

// A file that shrank below the start is searched once from the top.
TEST_F(LineFinderTest, AFileThatShrankBelowTheStartIsSearchedOnceFromTheTop) {
    FILE *fp = open(kFile, 28);
    ASSERT_EQ(truncate(box.path("/etc/lines").c_str(), 18), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "alice:x:1\nbob:x:2\n");
    EXPECT_EQ(find_line("bob", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(find_line("bob", ':', nullptr, nullptr), -1);
    EXPECT_EQ(found_line(), nullptr);
}

TEST_F(LineFinderTest, AKeepBufferThatCannotGrowFails) {
    ASSERT_EQ(start(box, {.program = "/usr/sbin/findtest", .store_messages = true}), 0);
    FILE *fp = open(kFile);
    // Full to the largest capacity: the next line cannot go in.
    char storage[1];
    text_buffer full{storage, INT32_MAX - 10, INT32_MAX - 11};
    EXPECT_EQ(find_line("carol", ':', fp, &full), -1);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(full.capacity, INT32_MAX - 10);
    auto all = read_deliveries(box.recorder_log());
    ASSERT_EQ(all.size(), 1u);
    ASSERT_GE(all[0].args.size(), 12u);
    EXPECT_EQ((std::vector<std::string>(all[0].args.begin() + 9, all[0].args.end())),
              (std::vector<std::string>{"6", "memory", "no more is available"}));
}

// The file changed under a circular search begun in the middle: the search
// runs once more from the top, to the file's end.
TEST_F(LineFinderTest, AFileModifiedDuringTheSearchIsSearchedAgainFromTheTop) {
    struct Row {
        const char *changed_to, *entry, *kept;
        Calls restarts;
    };
    const Row rows[] = {
        {"a:1\nb:2\nc:3\nz:4\n",
         "z:4",
         "c:3\nd:4\na:1\nb:2\na:1\nb:2\nc:3\n",
         {"rewind(3)", "stopped(3,z)", "rewind(3)"}},
        {"a:1\nb:2\nc:3\nd:4\ne:5\n",
         "(null)",
         "c:3\nd:4\ne:5\na:1\nb:2\na:1\nb:2\nc:3\nd:4\ne:5\n",
         {"rewind(3)", "rewind(3)"}},
        {nullptr, "(null)", "c:3\nd:4\na:1\nb:2\n", {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.changed_to ? r.changed_to : "unchanged");
        FILE *fp = open_passwd("a:1\nb:2\nc:3\nd:4\n", 8);
        nis().calls.clear();
        int lines = 0;
        nis().on_line = [&] {
            if (++lines > 1 || r.changed_to == nullptr) return;
            // Rewritten in place (the stream sees it), dated later.
            box.write("/etc/lines", r.changed_to);
            struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 100, 0}};
            utimensat(AT_FDCWD, box.path("/etc/lines").c_str(), times, 0);
        };
        EXPECT_EQ(find_line("z", ':', fp, &keep), 0);
        EXPECT_EQ(entry_text(), r.entry);
        EXPECT_EQ(text_of(keep), r.kept);
        EXPECT_EQ(only({"rewind", "stopped", "reqtype", "escape"}), r.restarts);
    }
}

using PasswordStreamTest = LineFinderTest;

TEST_F(PasswordStreamTest, WithoutNisTheSearchIsPlainAndConsultsTheHooksOnItsWay) {
    FILE *fp = open_passwd("root:x:0\n+\n-x\nalice:x:1\nbob:x:2\n");
    EXPECT_EQ(find_line("alice", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "root:x:0\n+\n-x\n");  // escape lines kept as the file has them
    const Calls plain = {"getline(3)", "enabled(3)", "control(3,3)", "control(3,4)"};
    const Calls escape = {"getline(3)", "control(3,3)", "enabled(3)", "control(3,3)",
                          "control(3,4)"};
    Calls expected = {"enabled(3)"};
    for (const Calls *line : {&plain, &escape, &escape})
        expected.insert(expected.end(), line->begin(), line->end());
    expected.insert(expected.end(),
                    {"getline(3)", "enabled(3)", "control(3,3)", "stopped(3,alice)", "rewind(3)"});
    EXPECT_EQ(nis().calls, expected);

    // A stream other than the library's /etc/passwd never calls the hooks.
    nis().calls.clear();
    mirror::passwd_fp = stdin;
    EXPECT_EQ(find_line("zed", ':', fp, nullptr), 0);
    EXPECT_TRUE(nis().calls.empty());
}

// The search tells the NIS side the name, and whether the file has shown
// it as a local user; names are compared when their hashes agree.
TEST_F(PasswordStreamTest, SearchAnnouncesTheNameAndWhetherItIsLocal) {
    FILE *fp = open_passwd("root:x:0\nalice:x:1\n");
    nis().enabled = {3};
    nis().escapes_off = 1;  // names are noted only while escapes are on
    EXPECT_EQ(find_line("root", ':', fp, nullptr), 0);
    nis().escapes_off = 0;
    nis().hash = [](const char *name) { return name[0] == 'r' ? 1 : 7; };
    nis().log_hash = true;
    const std::pair<const char *, const char *> steps[] = {
        {"root", "control(3,2)"}, {"alice", "control(3,1)"}, {"alicia", "control(3,2)"}};
    for (auto [name, announced] : steps) {
        nis().calls.clear();
        find_line(name, ':', fp, nullptr);
        Calls calls = only();
        size_t hashed = std::erase(calls, std::string("hash(") + name + ")");
        // alicia has alice's hash: the names are compared.
        EXPECT_TRUE(hashed > 0 || std::string(name) != "alicia");
        calls.resize(4);
        EXPECT_EQ(calls, (Calls{"enabled(3)", std::string("reqtype(3,2,") + name + ")", "rewind(3)",
                                announced}))
            << name;
    }
}

TEST_F(PasswordStreamTest, EscapeLinesGoToTheNisSideWhoseLinesMatchWithResultOne) {
    FILE *fp = open_passwd("root:x:0\n+\n-mallory\nbob:x:2\n");
    nis().enabled = {3};
    nis().escape_lines = {"nisone:x:100:100::/:/bin/sh", "nistwo:x:101:100::/:/bin/sh\n"};
    EXPECT_EQ(find_line("nistwo", ':', fp, &keep), 1);
    EXPECT_EQ(entry_text(), "nistwo:x:101:100::/:/bin/sh");
    // NIS's own lines are skipped at request 4, and escapes go unkept.
    EXPECT_EQ(text_of(keep), "root:x:0\n");
    EXPECT_EQ(only({"escape"}), (Calls{"escape(3,+\n)"}));
    // With escapes off a "+" line is an ordinary one.
    fp = open_passwd("+\nbob:x:2\n");
    nis().escapes_off = 1;
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "+\n");
}

}  // namespace
}  // namespace vant::test
