// Tests of the authcap entry reader: assembling entries, finding them by
// name or file pattern, rejecting malformed ones, and positions in a pass.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "authdb/authcap.h"
#include "authdb/authcap_fixture.h"

namespace vant::test {
namespace {

using authdb::current_entry;
using namespace std::string_literals;

// The text of a file holding one entry of exactly `length` characters once
// joined (the name "big", filler, then chkent), cut into continuation lines
// of at most 1000 characters.
std::string entry_of_length(size_t length) {
    std::string joined = "big:" + std::string(length - 12, 'a') + ":chkent:";
    std::string text;
    for (size_t at = 0; at < joined.size(); at += 1000)
        text += joined.substr(at, 1000) + (at + 1000 < joined.size() ? "\\\n" : "\n");
    return text;
}

class ReaderTest : public AuthcapTest {
  protected:
    void TearDown() override {
        free(buf);
        AuthcapTest::TearDown();
    }
    int get(const char *name, int object, FILE *fp, long *pos = nullptr) {
        return agetent(&buf, &len, name, object, pos, fp);
    }
    std::string entry() const { return current_entry() != nullptr ? current_entry() : "(none)"; }

    char *buf = nullptr;
    int len = 0;
};

TEST_F(ReaderTest, ContinuationsAreJoinedKeepingTheNextLinesTabAndColon) {
    FILE *fp = ttys("tty01:t_devname=tty01:t_uid=alice:t_logtime#5:\\\n\t:t_failures#2:chkent:\n");
    ASSERT_EQ(get(nullptr, 15, fp), 1);
    EXPECT_EQ(entry(), "tty01:t_devname=tty01:t_uid=alice:t_logtime#5:\t:t_failures#2:chkent:");
    EXPECT_EQ(buf, current_entry());
    long failures = 0;
    EXPECT_EQ(agtnum("t_failures", &failures), 0);
    EXPECT_EQ(failures, 2);
}

TEST_F(ReaderTest, CommentsAreSkippedWholeWithTheirContinuations) {
    FILE *fp = ttys(
        "# a comment\\\n"
        "tty00:chkent:\\\n"
        "still the comment\n"
        "#short one\n"
        "tty01:chkent:\n");
    long pos = 0;
    ASSERT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(entry(), "tty01:chkent:");
    ASSERT_EQ(get("tty00", 15, fp), 0);
    EXPECT_TRUE(reports().empty());
}

// Only the name field names an entry, each of its alternatives exactly.
TEST_F(ReaderTest, NameFieldAlternativesMatchExactly) {
    box.mkdir("/tcb/files/auth/r");
    FILE *fp = database("/tcb/files/auth/r/root", "root|admin:u_name=root:chkent:\n");
    for (const char *name : {"root", "admin"})
        EXPECT_EQ(get(name, 14, fp), 1) << name;
    for (const char *name : {"adm", "rootx", "Root", "u_name=root"})
        EXPECT_EQ(get(name, 14, fp), 0) << name;
}

TEST_F(ReaderTest, EntryWithoutChkentOrWithItCancelledFailsAndEndsThePass) {
    std::string text = "tty01:t_uid=alice:\ntty02:chkent@:\ntty03:chkent:\n";
    FILE *fp = ttys(text);
    long pos = 0;
    EXPECT_EQ(get(nullptr, 15, fp, &pos), -1);
    EXPECT_EQ(pos, static_cast<long>(text.size()));
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 0);
    EXPECT_EQ(get("tty02", 15, fp), -1);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "", "no chkent field"},
                                              {"15", "tty02", "no chkent field"}}));
}

TEST_F(ReaderTest, BlankLineIsAnEntryWithoutAName) {
    FILE *fp = ttys("\ntty01:chkent:\n");
    EXPECT_EQ(get("tty01", 15, fp), 1);
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(get(nullptr, 15, fp), -1);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "", "no chkent field"}}));
}

TEST_F(ReaderTest, EntryOfTheLongestLengthIsRead) {
    FILE *fp = ttys(entry_of_length(10239));
    ASSERT_EQ(get("big", 15, fp), 1);
    EXPECT_EQ(strlen(current_entry()), 10239u);
    EXPECT_EQ(len, 10240);
    EXPECT_TRUE(reports().empty());
}

TEST_F(ReaderTest, LongerEntryIsReportedAndTheRestOfTheFileSkipped) {
    FILE *fp = ttys(entry_of_length(10240) + "tty02:chkent:\n");
    long pos = 0;
    EXPECT_EQ(get(nullptr, 15, fp, &pos), -1);
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 0);
    EXPECT_LE(len, 10240);
    EXPECT_EQ(get("tty02", 15, fp), 0);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "", "Authcap entry too long"},
                                              {"15", "", "no chkent field"},
                                              {"15", "tty02", "Authcap entry too long"}}));
}

// The lines of an overlong entry that were not taken must not be read as
// entries of their own, whatever they look like.
TEST_F(ReaderTest, UnreadLinesOfAnOverlongEntryAreNeverEntries) {
    std::string text = entry_of_length(10239);
    text.back() = '\\';
    text += "\nx:\\\nevil:u_name=root:chkent:\n";
    box.mkdir("/tcb/files/auth/e");
    FILE *fp = database("/tcb/files/auth/e/evil", text);
    EXPECT_EQ(get("evil", 14, fp), 0);
    EXPECT_EQ(reports(), (std::vector<Report>{{"14", "evil", "Authcap entry too long"}}));
}

TEST_F(ReaderTest, OffsetsFollowEachEntryOfAPass) {
    std::string first = "tty01:chkent:\n", second = "#c\ntty02:\\\n\t:chkent:\n";
    FILE *fp = ttys(first + second + "tty03:chkent:\n");
    long pos = 0;
    ASSERT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(pos, static_cast<long>(first.size()));
    ASSERT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(entry(), "tty02:\t:chkent:");
    EXPECT_EQ(pos, static_cast<long>(first.size() + second.size()));
    // The stream is used elsewhere in between; the pass goes on from pos.
    rewind(fp);
    ASSERT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(entry(), "tty03:chkent:");
    long end = pos;
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 0);
    EXPECT_EQ(pos, end);
    // Without a position every read starts at the beginning.
    ASSERT_EQ(get(nullptr, 15, fp), 1);
    EXPECT_EQ(entry(), "tty01:chkent:");
}

TEST_F(ReaderTest, LastLineWithoutItsNewlineIsAnEntry) {
    FILE *fp = ttys("tty01:chkent:\ntty02:chkent:");
    long pos = 0;
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(entry(), "tty02:chkent:");
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 0);
    // An entry still continued at the end of the file is unfinished.
    EXPECT_EQ(get(nullptr, 15, ttys("tty01:chkent:\\\n")), 0);
}

TEST_F(ReaderTest, LongPhysicalLineIsOneLine) {
    // "evil" begins at the 1024th character of the line.
    std::string label(3000, 'x');
    label.replace(1009, 12, "evil:chkent:");
    FILE *fp = ttys("tty01:t_label=" + label + ":chkent:\n");
    EXPECT_EQ(get("evil", 15, fp), 0);
    ASSERT_EQ(get("tty01", 15, fp), 1);
    EXPECT_EQ(strlen(current_entry()), 14u + 3000 + 8);
}

TEST_F(ReaderTest, LineHoldingANulByteFailsAndEndsThePass) {
    std::string text = "tty01:chkent:\ntty\0x:chkent:\n\0tty03:chkent:\n"s;
    FILE *fp = ttys(text);
    long pos = 0;
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 1);
    EXPECT_EQ(get(nullptr, 15, fp, &pos), -1);
    EXPECT_EQ(pos, static_cast<long>(text.size()));
    EXPECT_EQ(get(nullptr, 15, fp, &pos), 0);
    fp = ttys("\0tty01:chkent:\n"s);
    EXPECT_EQ(get(nullptr, 15, fp), -1);
}

class FilePatternTest : public AuthcapTest {
  protected:
    std::string find(const char *path) {
        long pos = 0;
        const char *entry = agetfile(&pos, fp, path);
        return entry != nullptr ? std::string(entry, strcspn(entry, ":")) : "(none)";
    }
    FILE *fp = nullptr;
};

TEST_F(FilePatternTest, StarTakesOneOrMoreCharactersUpToTheNextSlashQuestionMarkOne) {
    fp = database("/etc/auth/system/files", "/dev/tty*:f_mode#0620:chkent:\n/dev/pt?0:chkent:\n");
    EXPECT_EQ(find("/dev/tty01"), "/dev/tty*");
    EXPECT_EQ(find("/dev/tty"), "(none)");
    EXPECT_EQ(find("/dev/tty01/x"), "(none)");
    EXPECT_EQ(find("/dev/pta0"), "/dev/pt?0");
    EXPECT_EQ(find("/dev/pt/0"), "(none)");
    EXPECT_EQ(find("/dev/pt0"), "(none)");
    EXPECT_EQ(find("/dev/ptab0"), "(none)");
}

TEST_F(FilePatternTest, FirstMatchingEntryInFileOrderAnyAlternative) {
    fp = database("/etc/auth/system/files",
                  "/etc/auth/*/*|/tcb/files/auth/?/*:f_mode#0660:chkent:\n"
                  "/dev/*:chkent:\n"
                  "/dev/console:chkent:\n");
    EXPECT_EQ(find("/tcb/files/auth/a/alice"), "/etc/auth/*/*|/tcb/files/auth/?/*");
    EXPECT_EQ(find("/etc/auth/system/ttys"), "/etc/auth/*/*|/tcb/files/auth/?/*");
    EXPECT_EQ(find("/dev/console"), "/dev/*");
    EXPECT_EQ(find("/tcb/files/auth/al/alice"), "(none)");
}

}  // namespace
}  // namespace vant::test
