// Tests of the line finder and the text buffers; searches of the password
// stream against the scripted NIS client.
#include "mirror/line_finder.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "support/nis_fake.h"
#include "support/recorder_log.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

using mirror::add_to_buffer;
using mirror::find_any_line;
using mirror::find_line;
using mirror::found_line;
using mirror::free_buffer;
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

// The calls of the hooks named, or of all but the per-line getline and
// request 3.
Calls only(const std::set<std::string> &hooks = {}) {
    Calls kept;
    for (const auto &c : nis().calls) {
        bool wanted = hooks.empty() ? c != "getline(3)" && c != "control(3,3)"
                                    : hooks.count(c.substr(0, c.find('('))) != 0;
        if (wanted) kept.push_back(c);
    }
    return kept;
}

TEST(MatchLineTest, NameMustBeFollowedBySeparatorOrLineEnd) {
    struct Row {
        const char *name, *line;
        char sep;
        int match;
    };
    const Row rows[] = {
        {"root", "root:x:0:0", ':', 1},
        {"root", "rootx:x:0:...", ':', 0},
        {"MINWEEKS", "MINWEEKS", '=', 1},
        {"MINWEEKS", "MINWEEKS=2", '=', 1},
        {"MINWEEKS", "MINWEEKS:2", '=', 0},
        {"root", "roo", ':', 0},
        {"root", " root:x", ':', 0},
        {"Root", "root:x", ':', 0},
        {"", ":x", ':', 1},
        {nullptr, "root:x", ':', 0},
        {"root", nullptr, ':', 0},
    };
    for (const Row &r : rows)
        EXPECT_EQ(match_line(r.name, r.line, r.sep), r.match)
            << (r.name ? r.name : "null") << " in " << (r.line ? r.line : "null");
}

TEST(SkipFieldTest, SplitsAtTheFirstSeparator) {
    char plain[] = "ab";
    EXPECT_EQ(skipfield(plain, ':'), nullptr);
    EXPECT_STREQ(plain, "ab");
    EXPECT_EQ(skipfield(nullptr, ':'), nullptr);
    char line[] = "alice:x:1000::/home/alice:";
    std::vector<std::string> fields;
    for (char *f = line; f != nullptr;) {
        char *next = skipfield(f, ':');
        fields.emplace_back(f);
        f = next;
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"alice", "x", "1000", "", "/home/alice", ""}));
}

TEST(TextBufferTest, GrowsByThreeThousandBytesKeepingTheContent) {
    text_buffer buf{};
    std::string line(2998, 'x');
    ASSERT_EQ(add_to_buffer(line.c_str(), &buf), 0);
    EXPECT_EQ(std::pair(buf.capacity, buf.used), std::pair(3000, 2999));
    ASSERT_EQ(add_to_buffer("", &buf), 0);  // the 3000th byte
    EXPECT_EQ(std::pair(buf.capacity, buf.used), std::pair(6000, 3000));
    ASSERT_EQ(mirror::grow_buffer(&buf), 0);
    EXPECT_EQ(buf.capacity, 9000);
    ASSERT_EQ(add_to_buffer("three:3", &buf), 0);
    EXPECT_EQ(text_of(buf), line + "\n\nthree:3\n");
    free_buffer(&buf);
    EXPECT_EQ(buf.storage, nullptr);
    EXPECT_EQ(std::pair(buf.capacity, buf.used), std::pair(0, 0));
    ASSERT_EQ(mirror::grow_buffer(&buf), 0);
    EXPECT_EQ(std::pair(buf.capacity, buf.used), std::pair(3000, 0));
    free_buffer(&buf);

    EXPECT_EQ(mirror::grow_buffer(nullptr), -1);
    EXPECT_EQ(add_to_buffer(nullptr, &buf), -1);
    EXPECT_EQ(add_to_buffer("x", nullptr), -1);
    EXPECT_EQ(buf.storage, nullptr);
    EXPECT_EQ(mirror::get_buffer(0), nullptr);
    char *memory = mirror::get_buffer(64);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(std::string(memory, 64), std::string(64, '\0'));
    free(memory);
}

// Searches of files in the sandbox.
class LineFinderTest : public SandboxTest {
  protected:
    void TearDown() override {
        if (fp_ != nullptr) fclose(fp_);
        free_buffer(&keep);
        mirror::passwd_fp = nullptr;
    }
    FILE *open(const std::string &content, long at = 0) {
        box.write("/etc/lines", content);
        fp_ = fopen(box.path("/etc/lines").c_str(), "r");
        EXPECT_NE(fp_, nullptr);
        fseek(fp_, at, SEEK_SET);
        return fp_;
    }
    // The library's /etc/passwd stream, searched with the NIS hooks.
    FILE *open_passwd(const std::string &content, long at = 0) {
        nis();
        return mirror::passwd_fp = open(content, at);
    }
    // Rewrites the file in place (the open stream sees the new text) and
    // dates it later than any time recorded before.
    void modify(const std::string &content) const {
        box.write("/etc/lines", content);
        struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 100, 0}};
        utimensat(AT_FDCWD, box.path("/etc/lines").c_str(), times, 0);
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
    // Lines of 1022, 1023 and 1024 characters: the last two are cut.
    const std::string l1022 = "a:" + std::string(1020, 'x'), l1023 = "b:" + std::string(1021, 'y'),
                      l1024 = "c:" + std::string(1022, 'z');
    const std::string cuts = l1022 + "\n" + l1023 + "\n" + l1024 + "\nd:1\n";
    const std::string cut =
        l1022 + "\n" + l1023.substr(0, 1022) + "\n" + l1024.substr(0, 1022) + "\n";
    // The rest of a long line would read as a line of "ghost" if it were
    // taken as one.
    const std::string ghost = "long:" + std::string(1018, 'a') + "ghost:x:9";
    const std::string with_ghost = "alice:x:1\n" + ghost + "\nnext:x:2\n";
    const std::string ghost_cut = "alice:x:1\n" + ghost.substr(0, 1022) + "\nnext:x:2\n";
    const Row rows[] = {
        {kFile, 0, {"carol"}, ':', 1, "carol:x:3", "alice:x:1\nbob:x:2\n", 28},
        {kFile, 0, {"zed"}, ':', 1, "(null)", kFile, -1},
        {kFile, 18, {"alice"}, ':', 1, "alice:x:1", "carol:x:3\ndave:x:4\n", 10},
        {kFile, 18, {"zed"}, ':', 1, "(null)", "carol:x:3\ndave:x:4\nalice:x:1\nbob:x:2\n", 18},
        {kFile, 18, {"alice"}, ':', 0, "(null)", "carol:x:3\ndave:x:4\n", -1},
        {kFile, 0, {"dave", "bob"}, ':', 1, "bob:x:2", "alice:x:1\n", -1},
        {"PASSREQ\nMINWEEKS\n", 0, {"MINWEEKS"}, '=', 1, "MINWEEKS", "PASSREQ\n", -1},
        {"alice:x:1\nbob:x:2", 10, {"bob"}, ':', 1, "bob:x:2", "", -1},
        {"alice:x:1\nbob:x:2", 10, {"alice"}, ':', 1, "alice:x:1", "bob:x:2\n", -1},
        {"", 0, {"alice"}, ':', 1, "(null)", "", -1},
        {cuts.c_str(), 0, {"d"}, ':', 1, "d:1", cut.c_str(), -1},
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
        if (r.then_at >= 0) {
            EXPECT_EQ(ftell(fp), r.then_at);
        }
        fclose(fp_);
        fp_ = nullptr;
        free_buffer(&keep);
    }
}

TEST_F(LineFinderTest, LookupsInFileOrderReadEachLineOnce) {
    FILE *fp = open(kFile);
    for (const char *name : {"alice", "bob", "carol", "dave"}) {
        EXPECT_EQ(find_line(name, ':', fp, &keep), 0) << name;
        EXPECT_EQ(match_line(name, found_line(), ':'), 1) << name;
    }
    EXPECT_EQ(keep.used, 0);
    // Then one that lies before the position: the search wraps once.
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(text_of(keep), "alice:x:1\n");
    // The line found is split in place and lasts until the next search.
    char *rest = skipfield(found_line(), ':');
    EXPECT_STREQ(found_line(), "bob");
    EXPECT_STREQ(rest, "x:2");
    mirror::free_userbuf();
    EXPECT_EQ(found_line(), nullptr);
}

TEST_F(LineFinderTest, ForwardWalkStopsAtEachKeyLine) {
    FILE *fp = open("# weeks\nMINWEEKS=1\nOTHER=2\nMAXWEEKS=3\nMINWEEKSX=4\nlast\n");
    const char *const keys[] = {"MINWEEKS", "MAXWEEKS", nullptr};
    for (const char *entry : {"MINWEEKS=1", "MAXWEEKS=3", "(null)", "(null)"}) {
        EXPECT_EQ(find_any_line(keys, '=', fp, &keep, 0), 0);
        EXPECT_EQ(entry_text(), entry);
    }
    EXPECT_EQ(text_of(keep), "# weeks\nOTHER=2\nMINWEEKSX=4\nlast\n");
}

TEST_F(LineFinderTest, AFileThatShrankBelowTheStartIsSearchedOnceFromTheTop) {
    FILE *fp = open(kFile, 28);
    ASSERT_EQ(truncate(box.path("/etc/lines").c_str(), 18), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "alice:x:1\nbob:x:2\n");
    EXPECT_EQ(find_line("bob", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
}

TEST_F(LineFinderTest, StreamsThatCannotBeSearchedFail) {
    FILE *fp = open(kFile);
    ASSERT_EQ(find_line("bob", ':', fp, nullptr), 0);
    EXPECT_EQ(find_line("bob", ':', nullptr, nullptr), -1);
    EXPECT_EQ(found_line(), nullptr);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "alice:x:1\n", 10), 10);
    close(fds[1]);
    FILE *pipe_stream = fdopen(fds[0], "r");
    ASSERT_EQ(find_line("bob", ':', fp, nullptr), 0);
    EXPECT_EQ(find_line("alice", ':', pipe_stream, nullptr), -1);
    EXPECT_EQ(found_line(), nullptr);
    fclose(pipe_stream);
}

TEST_F(LineFinderTest, AKeepBufferThatCannotGrowFails) {
    ASSERT_EQ(start(box, {.program = "/usr/sbin/findtest", .store_messages = true}), 0);
    FILE *fp = open(kFile);
    // Full to the largest capacity there is: the next line cannot go in,
    // and the storage is never touched.
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

// Another process changes the file while a circular search that began in
// the middle is under way: the search runs once more from the top, to the
// file's end.
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
            if (++lines == 1 && r.changed_to != nullptr) modify(r.changed_to);  // after c
        };
        EXPECT_EQ(find_line("z", ':', fp, &keep), 0);
        EXPECT_EQ(entry_text(), r.entry);
        EXPECT_EQ(text_of(keep), r.kept);
        EXPECT_EQ(only({"rewind", "stopped", "reqtype", "escape"}), r.restarts);
        fclose(fp_);
        fp_ = nullptr;
        free_buffer(&keep);
    }
}

TEST_F(LineFinderTest, OtherStreamsNeverCallTheHooks) {
    nis().enabled = {3};
    FILE *other = fopen(box.path("/etc/passwd").c_str(), "r");
    mirror::passwd_fp = other;
    FILE *fp = open("+\nalice:x:1\n", 2);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "alice:x:1\n+\n");
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    EXPECT_TRUE(nis().calls.empty());
    fclose(other);
}

// ---------------------------------------------------------------------
// The password stream and the host's NIS hooks

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

    nis().calls.clear();
    nis().stopped = 1;  // a stopped match does not count
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    nis().calls.clear();
    rewind(fp);
    nis().stopped = 0;
    const char *const names[] = {"zed", "root", nullptr};
    EXPECT_EQ(find_any_line(names, ':', fp, nullptr, 1), 0);
    EXPECT_EQ(entry_text(), "root:x:0");
    EXPECT_EQ(only({"stopped", "rewind"}), (Calls{"stopped(3,zed)", "rewind(3)"}));
}

TEST_F(PasswordStreamTest, NotFoundFromTheStartRewindsTheNisSide) {
    FILE *fp = open_passwd("root:x:0\n");
    EXPECT_EQ(find_line("zed", ':', fp, nullptr), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(only(), (Calls{"enabled(3)", "enabled(3)", "control(3,4)", "rewind(3)"}));
}

// The search tells the NIS side the name, and whether the file has shown
// it as a local user; names are noted only while escapes are on.
TEST_F(PasswordStreamTest, SearchAnnouncesTheNameAndWhetherItIsLocal) {
    FILE *fp = open_passwd("root:x:0\nalice:x:1\n");
    nis().enabled = {3};
    nis().escapes_off = 1;
    EXPECT_EQ(find_line("root", ':', fp, nullptr), 0);
    nis().escapes_off = 0;
    struct Step {
        const char *name, *announced;
    };
    for (Step s :
         {Step{"root", "control(3,2)"}, Step{"alice", "control(3,1)"}, Step{"root", "control(3,1)"},
          Step{"alice", "control(3,1)"}, Step{"nobody", "control(3,2)"}}) {
        nis().calls.clear();
        find_line(s.name, ':', fp, nullptr);
        Calls calls = only();
        calls.resize(4);
        EXPECT_EQ(calls, (Calls{"enabled(3)", std::string("reqtype(3,2,") + s.name + ")",
                                "rewind(3)", s.announced}))
            << s.name;
    }
}

TEST_F(PasswordStreamTest, LocalNameListComparesNamesWhenHashesAgree) {
    FILE *fp = open_passwd("alice:x:1\n");
    nis().enabled = {3};
    nis().hash = [](const char *) { return 7; };
    nis().log_hash = true;
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    for (auto [name, announced] :
         {std::pair{"alicia", "control(3,2)"}, std::pair{"alice", "control(3,1)"}}) {
        nis().calls.clear();
        find_line(name, ':', fp, nullptr);
        Calls calls = only();
        ASSERT_GE(calls.size(), 5u);
        EXPECT_EQ(calls[3], std::string("hash(") + name + ")");
        EXPECT_EQ(calls[4], announced);
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

    nis().calls.clear();
    nis().pending.clear();
    free_buffer(&keep);
    rewind(fp);
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(only({"escape"}), (Calls{"escape(3,+\n)", "escape(3,-mallory\n)"}));
    EXPECT_EQ(text_of(keep), "root:x:0\n");  // nisone, nistwo were NIS's own
}

TEST_F(PasswordStreamTest, NisLinesNotSkippedAreKeptAndEscapesOffMakePlusLinesOrdinary) {
    FILE *fp = open_passwd("+\nbob:x:2\n");
    nis().enabled = {3};
    nis().skips_its_lines = false;
    nis().escape_lines = {"nisone:x:100"};
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "nisone:x:100\n");

    free_buffer(&keep);
    rewind(fp);
    nis().calls.clear();
    nis().escapes_off = 1;
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "+\n");
    EXPECT_TRUE(only({"escape"}).empty());
}

}  // namespace
}  // namespace vant::test
