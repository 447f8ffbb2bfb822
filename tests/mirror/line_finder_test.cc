// Tests of the line finder and the text buffers. The hooks
// defined here stand in for the host's NIS client; they are found at run
// time, and searches of the password stream call them.
#include "mirror/line_finder.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace {

// A host NIS client whose answers the tests set. An escape line queues the
// lines configured for it; they are handed out by _nis_getline, and while
// they are, request 4 answers that the current line is NIS's own.
struct NisHost {
    int enabled = 0;
    int escapes_off = 0;  // answer to request 3
    int stopped = 0;
    bool nis_skips_its_lines = true;
    std::vector<std::string> escape_lines;
    std::deque<std::string> pending;
    std::string current;
    bool current_from_nis = false;
    bool hash_collides = false;
    bool log_hash = false;
    std::vector<std::string> calls;
    std::function<void()> on_line;  // called at every request 3
};
NisHost host;

}  // namespace

#define HOOK extern "C" __attribute__((visibility("default")))
HOOK int _nis_enabled(int kind) {
    host.calls.push_back("enabled(" + std::to_string(kind) + ")");
    return host.enabled;
}
HOOK void _nis_rewind(int kind) {
    host.calls.push_back("rewind(" + std::to_string(kind) + ")");
}
HOOK void _nis_reqtype(int kind, int type, const char *name) {
    host.calls.push_back("reqtype(" + std::to_string(kind) + "," + std::to_string(type) + "," +
                         name + ")");
}
HOOK int _nis_control(int kind, int request) {
    host.calls.push_back("control(" + std::to_string(kind) + "," + std::to_string(request) + ")");
    if (request == 3) {
        if (host.on_line) host.on_line();
        return host.escapes_off;
    }
    if (request == 4) return host.nis_skips_its_lines && host.current_from_nis ? 1 : 0;
    return 0;
}
HOOK char *_nis_getline(int kind) {
    host.calls.push_back("getline(" + std::to_string(kind) + ")");
    host.current_from_nis = !host.pending.empty();
    if (host.pending.empty()) return nullptr;
    host.current = host.pending.front();
    host.pending.pop_front();
    return host.current.data();
}
HOOK void _nis_escape(int kind, const char *line) {
    host.calls.push_back("escape(" + std::to_string(kind) + "," + line + ")");
    for (const auto &l : host.escape_lines)
        host.pending.push_back(l);
}
HOOK int _nis_stopped(int kind, const char *name) {
    host.calls.push_back("stopped(" + std::to_string(kind) + "," + name + ")");
    return host.stopped;
}
HOOK int _nis_hash(const char *name) {
    if (host.log_hash) host.calls.push_back(std::string("hash(") + name + ")");
    return host.hash_collides ? 7 : static_cast<int>(strlen(name)) * 31 + name[0];
}

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

// The calls the host saw other than the per-line getline and request 3.
Calls essential(const Calls &calls) {
    Calls kept;
    for (const auto &c : calls)
        if (c != "getline(3)" && c != "control(3,3)") kept.push_back(c);
    return kept;
}

// The calls of the hooks whose names are given.
Calls only(const Calls &calls, const std::set<std::string> &hooks) {
    Calls kept;
    for (const auto &c : calls)
        if (hooks.count(c.substr(0, c.find('('))) != 0) kept.push_back(c);
    return kept;
}

TEST(MatchLineTest, NameMustBeFollowedBySeparatorOrLineEnd) {
    EXPECT_EQ(match_line("root", "root:x:0:0:root:/root:/bin/sh", ':'), 1);
    EXPECT_EQ(match_line("root", "rootx:x:0:...", ':'), 0);
    EXPECT_EQ(match_line("MINWEEKS", "MINWEEKS", '='), 1);
    EXPECT_EQ(match_line("MINWEEKS", "MINWEEKS=2", '='), 1);
    EXPECT_EQ(match_line("MINWEEKS", "MINWEEKS:2", '='), 0);
    EXPECT_EQ(match_line("root", "roo", ':'), 0);
    EXPECT_EQ(match_line("root", " root:x", ':'), 0);
    EXPECT_EQ(match_line("Root", "root:x", ':'), 0);
    EXPECT_EQ(match_line("", ":x", ':'), 1);
    EXPECT_EQ(match_line(nullptr, "root:x", ':'), 0);
    EXPECT_EQ(match_line("root", nullptr, ':'), 0);
}

TEST(SkipFieldTest, SplitsAtTheFirstSeparator) {
    char ab[] = "a:b";
    char *rest = skipfield(ab, ':');
    EXPECT_STREQ(ab, "a");
    EXPECT_STREQ(rest, "b");

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

TEST(TextBufferTest, EmptyBufferGetsThreeThousandBytesAndTheThreeThousandthGrowsIt) {
    text_buffer buf{};
    std::string line(2998, 'x');
    ASSERT_EQ(add_to_buffer(line.c_str(), &buf), 0);
    EXPECT_EQ(buf.capacity, 3000);
    EXPECT_EQ(buf.used, 2999);
    ASSERT_EQ(add_to_buffer("", &buf), 0);  // the 3000th byte
    EXPECT_EQ(buf.capacity, 6000);
    EXPECT_EQ(buf.used, 3000);
    EXPECT_EQ(text_of(buf), line + "\n\n");
    free_buffer(&buf);
    EXPECT_EQ(buf.storage, nullptr);
    EXPECT_EQ(buf.capacity, 0);
    EXPECT_EQ(buf.used, 0);
}

TEST(TextBufferTest, LinesAreAppendedWithNewlines) {
    text_buffer buf{};
    ASSERT_EQ(add_to_buffer("one", &buf), 0);
    ASSERT_EQ(add_to_buffer("", &buf), 0);
    ASSERT_EQ(add_to_buffer("three:3", &buf), 0);
    EXPECT_EQ(text_of(buf), "one\n\nthree:3\n");
    EXPECT_EQ(buf.used, 13);
    EXPECT_EQ(buf.capacity, 3000);
    free_buffer(&buf);
}

TEST(TextBufferTest, GrowthKeepsTheContent) {
    text_buffer buf{};
    ASSERT_EQ(mirror::grow_buffer(&buf), 0);
    EXPECT_EQ(buf.capacity, 3000);
    EXPECT_EQ(buf.used, 0);
    ASSERT_EQ(add_to_buffer("kept", &buf), 0);
    ASSERT_EQ(mirror::grow_buffer(&buf), 0);
    EXPECT_EQ(buf.capacity, 6000);
    EXPECT_EQ(text_of(buf), "kept\n");
    // Many lines: each growth is one step of 3000 bytes.
    std::string expected = "kept\n";
    std::string line(99, 'y');
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(add_to_buffer(line.c_str(), &buf), 0);
        expected += line + "\n";
    }
    EXPECT_EQ(text_of(buf), expected);
    EXPECT_EQ(buf.capacity, 12000);
    free_buffer(&buf);
}

TEST(TextBufferTest, NullArgumentsFail) {
    text_buffer buf{};
    EXPECT_EQ(mirror::grow_buffer(nullptr), -1);
    EXPECT_EQ(add_to_buffer(nullptr, &buf), -1);
    EXPECT_EQ(add_to_buffer("x", nullptr), -1);
    EXPECT_EQ(buf.storage, nullptr);
    free_buffer(nullptr);
}

TEST(TextBufferTest, GetBufferGivesFreshMemoryButNothingForZero) {
    EXPECT_EQ(mirror::get_buffer(0), nullptr);
    char *memory = mirror::get_buffer(64);
    ASSERT_NE(memory, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(memory[i], 0);
    free(memory);
}

// Searches of files in the sandbox.
class LineFinderTest : public SandboxTest {
  protected:
    void SetUp() override { host = NisHost{}; }
    void TearDown() override {
        if (fp_ != nullptr) fclose(fp_);
        free_buffer(&keep);
        mirror::passwd_fp = nullptr;
    }

    FILE *open(const std::string &content) {
        box.write("/etc/lines", content);
        fp_ = fopen(box.path("/etc/lines").c_str(), "r");
        EXPECT_NE(fp_, nullptr);
        return fp_;
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

TEST_F(LineFinderTest, FreshSearchKeepsTheLinesBeforeTheMatch) {
    FILE *fp = open(kFile);
    EXPECT_EQ(find_line("carol", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "carol:x:3");
    EXPECT_EQ(text_of(keep), "alice:x:1\nbob:x:2\n");
    EXPECT_EQ(ftell(fp), 28);  // just after the matching line
}

TEST_F(LineFinderTest, FreshSearchWithoutMatchKeepsTheWholeFile) {
    FILE *fp = open(kFile);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), kFile);
}

TEST_F(LineFinderTest, CircularSearchFromTheMiddleFindsTheFirstLine) {
    FILE *fp = open(kFile);
    ASSERT_EQ(fseek(fp, 18, SEEK_SET), 0);  // at carol
    EXPECT_EQ(find_line("alice", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "alice:x:1");
    EXPECT_EQ(text_of(keep), "carol:x:3\ndave:x:4\n");
    EXPECT_EQ(ftell(fp), 10);
}

TEST_F(LineFinderTest, CircularSearchWithoutMatchReadsEveryLineOnce) {
    FILE *fp = open(kFile);
    ASSERT_EQ(fseek(fp, 18, SEEK_SET), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "carol:x:3\ndave:x:4\nalice:x:1\nbob:x:2\n");
    EXPECT_EQ(ftell(fp), 18);  // back where it began
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
}

TEST_F(LineFinderTest, ForwardWalkStopsAtEachKeyLine) {
    FILE *fp = open("# weeks\nMINWEEKS=1\nOTHER=2\nMAXWEEKS=3\nMINWEEKSX=4\nlast\n");
    const char *const keys[] = {"MINWEEKS", "MAXWEEKS", nullptr};
    EXPECT_EQ(find_any_line(keys, '=', fp, &keep, 0), 0);
    EXPECT_EQ(entry_text(), "MINWEEKS=1");
    EXPECT_EQ(text_of(keep), "# weeks\n");
    EXPECT_EQ(find_any_line(keys, '=', fp, &keep, 0), 0);
    EXPECT_EQ(entry_text(), "MAXWEEKS=3");
    EXPECT_EQ(text_of(keep), "# weeks\nOTHER=2\n");
    EXPECT_EQ(find_any_line(keys, '=', fp, &keep, 0), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "# weeks\nOTHER=2\nMINWEEKSX=4\nlast\n");
    // At the end a forward search finds nothing more and keeps nothing.
    EXPECT_EQ(find_any_line(keys, '=', fp, &keep, 0), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "# weeks\nOTHER=2\nMINWEEKSX=4\nlast\n");
}

TEST_F(LineFinderTest, ForwardSearchFromTheMiddleDoesNotWrap) {
    FILE *fp = open(kFile);
    ASSERT_EQ(fseek(fp, 18, SEEK_SET), 0);
    const char *const names[] = {"alice", nullptr};
    EXPECT_EQ(find_any_line(names, ':', fp, &keep, 0), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "carol:x:3\ndave:x:4\n");
}

TEST_F(LineFinderTest, AnyOfSeveralNamesMatches) {
    FILE *fp = open(kFile);
    const char *const names[] = {"dave", "bob", nullptr};
    EXPECT_EQ(find_any_line(names, ':', fp, nullptr, 1), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
}

TEST_F(LineFinderTest, KeyAloneOnItsLineMatches) {
    FILE *fp = open("PASSREQ\nMINWEEKS\n");
    EXPECT_EQ(find_line("MINWEEKS", '=', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "MINWEEKS");
}

TEST_F(LineFinderTest, UnterminatedLastLineIsALine) {
    FILE *fp = open("alice:x:1\nbob:x:2");
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "alice:x:1");
}

TEST_F(LineFinderTest, LongLineIsCutAndItsRestSkipped) {
    // The rest of the long line would read as a line of "ghost" if it were
    // taken as one.
    std::string head = "longuser:";
    std::string long_line = head + std::string(1023 - head.size(), 'a') + "ghost:x:9";
    FILE *fp = open("alice:x:1\n" + long_line + "\nnext:x:2\n");
    EXPECT_EQ(find_line("longuser", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), long_line.substr(0, 1022));
    EXPECT_EQ(find_line("next", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "next:x:2");
    EXPECT_EQ(find_line("ghost", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    // Every physical line was read once, the long one cut.
    EXPECT_EQ(text_of(keep), "alice:x:1\n" + long_line.substr(0, 1022) + "\nnext:x:2\n");
}

TEST_F(LineFinderTest, LinesUpToTheCutLengthAreKeptWhole) {
    std::string l1022 = "a:" + std::string(1020, 'x');
    std::string l1023 = "b:" + std::string(1021, 'y');
    std::string l1024 = "c:" + std::string(1022, 'z');
    FILE *fp = open(l1022 + "\n" + l1023 + "\n" + l1024 + "\nd:1\n");
    EXPECT_EQ(find_line("a", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), l1022);
    EXPECT_EQ(find_line("b", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), l1023.substr(0, 1022));
    EXPECT_EQ(find_line("c", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), l1024.substr(0, 1022));
    EXPECT_EQ(find_line("d", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "d:1");
}

TEST_F(LineFinderTest, FileThatShrankBelowTheStartIsSearchedOnceFromTheTop) {
    FILE *fp = open(kFile);
    ASSERT_EQ(fseek(fp, 28, SEEK_SET), 0);  // at dave
    ASSERT_EQ(truncate(box.path("/etc/lines").c_str(), 18), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "alice:x:1\nbob:x:2\n");
    EXPECT_EQ(find_line("bob", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
}

TEST_F(LineFinderTest, EmptyFileHasNoLines) {
    FILE *fp = open("");
    EXPECT_EQ(find_line("alice", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(keep.used, 0);
}

TEST_F(LineFinderTest, NullStreamFails) {
    FILE *fp = open(kFile);
    ASSERT_EQ(find_line("bob", ':', fp, nullptr), 0);
    ASSERT_NE(found_line(), nullptr);
    EXPECT_EQ(find_line("bob", ':', nullptr, nullptr), -1);
    EXPECT_EQ(found_line(), nullptr);
}

TEST_F(LineFinderTest, StreamThatCannotBeExaminedFails) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "alice:x:1\n", 10), 10);
    close(fds[1]);
    FILE *pipe_stream = fdopen(fds[0], "r");
    ASSERT_NE(pipe_stream, nullptr);
    EXPECT_EQ(find_line("alice", ':', pipe_stream, nullptr), -1);
    EXPECT_EQ(found_line(), nullptr);
    fclose(pipe_stream);
}

TEST_F(LineFinderTest, FoundLineIsSplitInPlaceAndLastsUntilTheNextSearch) {
    FILE *fp = open(kFile);
    ASSERT_EQ(find_line("bob", ':', fp, nullptr), 0);
    char *line = found_line();
    char *rest = skipfield(line, ':');
    EXPECT_STREQ(line, "bob");
    EXPECT_STREQ(rest, "x:2");
    mirror::free_userbuf();
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(find_line("dave", ':', fp, nullptr), 0);
    EXPECT_EQ(entry_text(), "dave:x:4");
}

TEST_F(LineFinderTest, OtherStreamsNeverCallTheHooks) {
    FILE *other = fopen(box.path("/etc/passwd").c_str(), "r");
    ASSERT_NE(other, nullptr);
    mirror::passwd_fp = other;
    host.enabled = 1;
    FILE *fp = open("+\nalice:x:1\n");
    ASSERT_EQ(fseek(fp, 2, SEEK_SET), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "alice:x:1\n+\n");
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    EXPECT_TRUE(host.calls.empty());
    fclose(other);
}

TEST_F(LineFinderTest, KeepBufferThatCannotGrowFails) {
    box.install_recorder();
    char program[] = "/usr/sbin/findtest";
    char *argv[] = {program, nullptr};
    ASSERT_EQ(set_auth_parameters(1, argv), 0);
    set_auth_msg(VANT_MSG_STORE);
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

// The file is changed by another process while a circular search that began
// in the middle is under way: the search runs once more from the top.
TEST_F(LineFinderTest, FileModifiedDuringTheSearchIsSearchedAgainFromTheTop) {
    FILE *fp = open("a:1\nb:2\nc:3\nd:4\n");
    mirror::passwd_fp = fp;  // so that the hooks see each line
    ASSERT_EQ(fseek(fp, 8, SEEK_SET), 0);
    int lines = 0;
    host.on_line = [&] {
        if (++lines == 1) modify("a:1\nb:2\nc:3\nz:4\n");  // after c was read
    };
    EXPECT_EQ(find_line("z", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "z:4");
    // c, d (as read before the change), a, b; then from the top: a, b, c.
    EXPECT_EQ(text_of(keep), "c:3\nd:4\na:1\nb:2\na:1\nb:2\nc:3\n");
    // The restart told the NIS side to start again.
    EXPECT_EQ(only(host.calls, {"rewind", "stopped", "reqtype", "escape"}),
              (Calls{"rewind(3)", "stopped(3,z)", "rewind(3)"}));
}

TEST_F(LineFinderTest, FileModifiedDuringTheSearchEndsAtItsEndTheSecondTime) {
    FILE *fp = open("a:1\nb:2\nc:3\nd:4\n");
    mirror::passwd_fp = fp;
    ASSERT_EQ(fseek(fp, 8, SEEK_SET), 0);
    int lines = 0;
    host.on_line = [&] {
        if (++lines == 1) modify("a:1\nb:2\nc:3\nd:4\ne:5\n");
    };
    EXPECT_EQ(find_line("z", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    // The first pass reads on into the grown file; the second runs to its end.
    EXPECT_EQ(text_of(keep), "c:3\nd:4\ne:5\na:1\nb:2\na:1\nb:2\nc:3\nd:4\ne:5\n");
}

TEST_F(LineFinderTest, UnchangedFileEndsTheCircle) {
    FILE *fp = open(kFile);
    mirror::passwd_fp = fp;
    ASSERT_EQ(fseek(fp, 10, SEEK_SET), 0);
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "bob:x:2\ncarol:x:3\ndave:x:4\nalice:x:1\n");
    EXPECT_TRUE(only(host.calls, {"rewind", "stopped"}).empty());
}

// Searches of the library's /etc/passwd stream with the host's NIS hooks.
class PasswordStreamTest : public LineFinderTest {
  protected:
    FILE *open_passwd(const std::string &content) {
        FILE *fp = open(content);
        mirror::passwd_fp = fp;
        return fp;
    }
};

TEST_F(PasswordStreamTest, WithoutNisTheSearchIsPlainAndConsultsTheHooksOnItsWay) {
    FILE *fp = open_passwd("root:x:0\nalice:x:1\nbob:x:2\n");
    EXPECT_EQ(find_line("alice", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "alice:x:1");
    EXPECT_EQ(text_of(keep), "root:x:0\n");
    EXPECT_EQ(host.calls,
              (Calls{"enabled(3)", "getline(3)", "enabled(3)", "control(3,3)", "control(3,4)",
                     "getline(3)", "enabled(3)", "control(3,3)", "stopped(3,alice)", "rewind(3)"}));
}

TEST_F(PasswordStreamTest, NotFoundFromTheStartRewindsTheNisSide) {
    FILE *fp = open_passwd("root:x:0\n");
    EXPECT_EQ(find_line("zed", ':', fp, nullptr), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(essential(host.calls),
              (Calls{"enabled(3)", "enabled(3)", "control(3,4)", "rewind(3)"}));
}

TEST_F(PasswordStreamTest, SearchAnnouncesTheNameAndWhetherItIsLocal) {
    FILE *fp = open_passwd("root:x:0\nalice:x:1\n");
    host.enabled = 1;
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    Calls first = essential(host.calls);
    first.resize(4);
    EXPECT_EQ(first, (Calls{"enabled(3)", "reqtype(3,2,alice)", "rewind(3)", "control(3,2)"}));

    // Both lines are now on the local name list.
    for (const char *name : {"root", "alice"}) {
        host.calls.clear();
        EXPECT_EQ(find_line(name, ':', fp, nullptr), 0);
        Calls again = essential(host.calls);
        again.resize(4);
        EXPECT_EQ(again[3], "control(3,1)") << name;
    }
    host.calls.clear();
    EXPECT_EQ(find_line("nobody", ':', fp, nullptr), 0);
    EXPECT_EQ(essential(host.calls)[3], "control(3,2)");
}

TEST_F(PasswordStreamTest, LocalNameListComparesNamesWhenHashesAgree) {
    FILE *fp = open_passwd("alice:x:1\n");
    host.enabled = 1;
    host.hash_collides = true;
    host.log_hash = true;
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    host.calls.clear();
    EXPECT_EQ(find_line("alicia", ':', fp, nullptr), 0);
    EXPECT_EQ(found_line(), nullptr);
    Calls calls = essential(host.calls);
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[3], "hash(alicia)");
    EXPECT_EQ(calls[4], "control(3,2)");
    host.calls.clear();
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    EXPECT_EQ(essential(host.calls)[4], "control(3,1)");
}

TEST_F(PasswordStreamTest, NamesAreNotedOnlyWhileEscapesAreOn) {
    FILE *fp = open_passwd("alice:x:1\n");
    host.enabled = 1;
    host.escapes_off = 1;
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    host.calls.clear();
    host.escapes_off = 0;
    EXPECT_EQ(find_line("alice", ':', fp, nullptr), 0);
    EXPECT_EQ(essential(host.calls)[3], "control(3,2)");
}

TEST_F(PasswordStreamTest, EscapeLineGoesToTheNisSideWithItsNewline) {
    FILE *fp = open_passwd("root:x:0\n+\n-mallory\nbob:x:2\n");
    host.enabled = 1;
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(text_of(keep), "root:x:0\n");  // the escape lines are not kept
    Calls escapes;
    for (const auto &c : host.calls)
        if (c.rfind("escape", 0) == 0) escapes.push_back(c);
    EXPECT_EQ(escapes, (Calls{"escape(3,+\n)", "escape(3,-mallory\n)"}));
}

TEST_F(PasswordStreamTest, NisLinesMatchWithResultOne) {
    FILE *fp = open_passwd("root:x:0\n+\nbob:x:2\n");
    host.enabled = 1;
    host.escape_lines = {"nisone:x:100:100::/:/bin/sh", "nistwo:x:101:100::/:/bin/sh\n"};
    EXPECT_EQ(find_line("nistwo", ':', fp, &keep), 1);
    EXPECT_EQ(entry_text(), "nistwo:x:101:100::/:/bin/sh");
    // NIS's own lines are skipped at request 4, so they are not kept.
    EXPECT_EQ(text_of(keep), "root:x:0\n");

    host.calls.clear();
    host.pending.clear();
    free_buffer(&keep);
    rewind(fp);
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
}

TEST_F(PasswordStreamTest, NisLineWithoutSkippingIsKept) {
    FILE *fp = open_passwd("+\nbob:x:2\n");
    host.enabled = 1;
    host.nis_skips_its_lines = false;
    host.escape_lines = {"nisone:x:100"};
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "nisone:x:100\n");
}

TEST_F(PasswordStreamTest, EscapesOffMakesPlusLinesOrdinary) {
    FILE *fp = open_passwd("+\nbob:x:2\n");
    host.enabled = 1;
    host.escapes_off = 1;
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "+\n");
    for (const auto &c : host.calls)
        EXPECT_NE(c.rfind("escape", 0), 0u) << c;
}

TEST_F(PasswordStreamTest, WithoutNisAPlusLineIsKeptAsTheFileHasIt) {
    FILE *fp = open_passwd("+\n-x\nbob:x:2\n");
    EXPECT_EQ(find_line("bob", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "+\n-x\n");
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(text_of(keep), "+\n-x\n+\n-x\nbob:x:2\n");
    for (const auto &c : host.calls)
        EXPECT_NE(c.rfind("escape", 0), 0u) << c;
}

TEST_F(PasswordStreamTest, StoppedMatchDoesNotCount) {
    FILE *fp = open_passwd("alice:x:1\nbob:x:2\n");
    host.stopped = 1;
    EXPECT_EQ(find_line("alice", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "alice:x:1\nbob:x:2\n");
}

TEST_F(PasswordStreamTest, StoppedIsAskedAboutTheFirstName) {
    FILE *fp = open_passwd("alice:x:1\nbob:x:2\n");
    const char *const names[] = {"zed", "bob", nullptr};
    EXPECT_EQ(find_any_line(names, ':', fp, nullptr, 1), 0);
    EXPECT_EQ(entry_text(), "bob:x:2");
    EXPECT_EQ(essential(host.calls), (Calls{"enabled(3)", "enabled(3)", "control(3,4)",
                                            "enabled(3)", "stopped(3,zed)", "rewind(3)"}));
}

TEST_F(PasswordStreamTest, SkippedNisLinesAreNotKept) {
    FILE *fp = open_passwd("+\nalice:x:1\n");
    host.enabled = 1;
    host.nis_skips_its_lines = true;
    host.escape_lines = {"carol:x:5", "dave:x:6"};
    EXPECT_EQ(find_line("zed", ':', fp, &keep), 0);
    EXPECT_EQ(found_line(), nullptr);
    EXPECT_EQ(text_of(keep), "alice:x:1\n");
}

}  // namespace
}  // namespace vant::test
