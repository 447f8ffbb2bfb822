// Tests of the authcap entry reader and its field getters.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

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
    int get(const char *name, FILE *fp, long *pos = nullptr, int object = 15) {
        return agetent(&buf, &len, name, object, pos, fp);
    }
    std::string entry() const { return current_entry() != nullptr ? current_entry() : "(none)"; }
    // A whole pass: each entry read, "!" for a failure, up to the end.
    std::string pass(FILE *fp) {
        std::string trace;
        long pos = 0;
        for (int i = 0, r; i < 5 && (r = get(nullptr, fp, &pos)) != 0; ++i)
            trace += (r == 1 ? entry() : "!") + "|";
        return trace;
    }

    char *buf = nullptr;
    int len = 0;
};

// A failure ends the pass: what follows a bad entry is never read.
TEST_F(ReaderTest, EntriesOfAPass) {
    struct Row {
        std::string text, pass;
        std::vector<Report> reports;
    } rows[] = {
        {"tty01:t_uid=alice:\\\n\t:t_failures#2:chkent:\n",
         "tty01:t_uid=alice:\t:t_failures#2:chkent:|",
         {}},
        {"# a comment\\\ntty00:chkent:\\\nstill it\n#short\ntty01:chkent:\n", "tty01:chkent:|", {}},
        {"tty01:chkent:\ntty02:chkent:", "tty01:chkent:|tty02:chkent:|", {}},
        {"tty01:chkent:\\\n", "", {}},
        {"tty01:t_uid=alice:\ntty03:chkent:\n", "!|", {{"15", "", "no chkent field"}}},
        {"tty02:chkent@:\n", "!|", {{"15", "", "no chkent field"}}},
        {"\ntty01:chkent:\n", "!|", {{"15", "", "no chkent field"}}},
        {"tty01:chkent:\ntty\0x:chkent:\n\0tty03:chkent:\n"s, "tty01:chkent:|!|", {}},
        {"\0tty01:chkent:\n"s, "!|", {}},
        {entry_of_length(10240) + "tty02:chkent:\n",
         "!|",
         {{"15", "", "Authcap entry too long"}, {"15", "", "no chkent field"}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text.substr(0, 40));
        box.remove("/recorder.log");
        EXPECT_EQ(pass(ttys(row.text)), row.pass);
        EXPECT_EQ(reports(), row.reports);
    }
}

TEST_F(ReaderTest, LookupsByNameTakeOnlyTheNameFieldsAlternatives) {
    FILE *fp = ttys("root|admin:t_uid=root:chkent:\ntty02:chkent@:\n#c\\\ntty00:chkent:\n");
    for (const char *name : {"root", "admin"})
        EXPECT_EQ(get(name, fp), 1) << name;
    for (const char *name : {"adm", "rootx", "Root", "t_uid=root", "tty00"})
        EXPECT_EQ(get(name, fp), 0) << name;
    EXPECT_EQ(get("tty02", fp), -1);
    EXPECT_EQ(get("tty02", ttys(entry_of_length(10240) + "tty02:chkent:\n")), 0);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "tty02", "no chkent field"},
                                              {"15", "tty02", "Authcap entry too long"}}));
}

TEST_F(ReaderTest, EntryOfTheLongestLengthIsReadAndALongerOneNever) {
    ASSERT_EQ(get("big", ttys(entry_of_length(10239))), 1);
    EXPECT_EQ(strlen(current_entry()), 10239u);
    EXPECT_EQ(len, 10240);
    EXPECT_TRUE(reports().empty());
    // The unread lines of an overlong entry are never entries of their own.
    std::string text = entry_of_length(10239);
    text.back() = '\\';
    EXPECT_EQ(get("evil", ttys(text + "\nx:\\\nevil:t_uid=root:chkent:\n")), 0);
    EXPECT_LE(len, 10240);
    // Nor is a piece of a long physical line.
    std::string label(3000, 'x');
    label.replace(1009, 12, "evil:chkent:");  // "evil" at the 1024th character
    FILE *fp = ttys("tty01:t_label=" + label + ":chkent:\n");
    EXPECT_EQ(get("evil", fp), 0);
    ASSERT_EQ(get("tty01", fp), 1);
    EXPECT_EQ(strlen(current_entry()), 14u + 3000 + 8);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "evil", "Authcap entry too long"}}));
}

// The stream may be used elsewhere between two reads of a pass.
TEST_F(ReaderTest, OffsetsFollowEachEntryOfAPass) {
    std::string first = "tty01:chkent:\n", second = "#c\ntty02:\\\n\t:chkent:\n";
    FILE *fp = ttys(first + second + "tty03:chkent:\n");
    long pos = 0;
    for (size_t end : {first.size(), first.size() + second.size()}) {
        ASSERT_EQ(get(nullptr, fp, &pos), 1);
        EXPECT_EQ(pos, static_cast<long>(end));
    }
    rewind(fp);
    ASSERT_EQ(get(nullptr, fp, &pos), 1);
    EXPECT_EQ(entry(), "tty03:chkent:");
    EXPECT_EQ(get(nullptr, fp, &pos), 0);
    EXPECT_EQ(pos, static_cast<long>(first.size() + second.size() + 14));
    ASSERT_EQ(get(nullptr, fp), 1);  // without a position, from the start
    EXPECT_EQ(entry(), "tty01:chkent:");
}

// First match in file order and a star within one level are the File
// Control lookup's own to show.
TEST_F(AuthcapTest, FilePatternsStarOneOrMoreQuestionMarkOneAnyAlternative) {
    FILE *fp = database("/etc/auth/system/files",
                        "/etc/*|/dev/tty*:chkent:\n/dev/pt?0:chkent:\n/dev/*/*:chkent:\n");
    for (const char *path : {"/dev/tty", "/dev/pt0", "/dev/ptab0", "/etc"}) {
        long pos = 0;
        EXPECT_EQ(agetfile(&pos, fp, path), nullptr) << path;
    }
    for (auto [path, entry] : {std::pair{"/dev/tty01", "/etc/*|/dev/tty*"},
                               {"/etc/passwd", "/etc/*|/dev/tty*"},
                               {"/dev/pta0", "/dev/pt?0"},
                               {"/dev/pt/0", "/dev/*/*"}}) {
        long pos = 0;
        const char *found = agetfile(&pos, fp, path);
        ASSERT_NE(found, nullptr) << path;
        EXPECT_EQ(std::string(found, strcspn(found, ":")), entry);
    }
}

class FieldTest : public AuthcapTest {
  protected:
    void use(const std::string &entry) {
        text = entry;
        authdb::set_current_entry(text.data());
    }
    std::string text;
    char area[VANT_AUTHCAP_MAX];
};

// What each getter finds for a field of an entry: "(null)" or 999 for
// nothing, flags as agetflag answers, ids as agetuid or agetgid.
TEST_F(FieldTest, GettersDecodeTheFirstFieldOfTheirForm) {
    enum Kind { kStr, kNum, kFlag, kUid, kGid };
    struct Row {
        std::string entry;
        Kind kind;
        const char *id;
        std::string want;
    } rows[] = {
        // escapes
        {"e:s=a\\:b:chkent:", kStr, "s", "a:b"},
        {"e:s=^G:", kStr, "s", "\a"},
        {"e:s=\\101:", kStr, "s", "A"},
        {"e:s=\\7:x:", kStr, "s", "\a"},
        {"e:s=\\E\\^\\\\\\n\\r\\t\\b\\f:", kStr, "s", "\033^\\\n\r\t\b\f"},
        {"e:s=\\q\\8:", kStr, "s", "q8"},
        {"e:s=\\1012:", kStr, "s", "A2"},
        {"e:s=:s9=^::chkent:", kStr, "s", ""},
        {"e:s=^::chkent:", kStr, "s", "\032"},
        {"e:s=ab\\", kStr, "s", "ab"},  // an escape or caret ends the entry
        {"e:s=ab^", kStr, "s", "ab"},
        {"e:s=", kStr, "s", ""},
        // numbers in each base
        {"e:n#0x10:", kNum, "n", "16"},
        {"e:n#010:", kNum, "n", "8"},
        {"e:n#-12:", kNum, "n", "-12"},
        {"e:n#0X1f:", kNum, "n", "31"},
        {"e:n#:", kNum, "n", "0"},
        {"e:n#-0x10:", kNum, "n", "-16"},
        // a cancelled field met first ends the lookup
        {"e:u_a@:u_a#5:chkent:", kNum, "u_a", "999"},
        {"e:u_a#5:u_a@:chkent:", kNum, "u_a", "5"},
        {"e:u_s@:u_s=x:chkent:", kStr, "u_s", "(null)"},
        {"e:u_f@:u_f:chkent:", kFlag, "u_f", "0"},
        {"e:u_f:chkent:", kFlag, "u_g", "-1"},
        // fields of another form or name are passed over
        {"e:u_lock=1:u_lock:chkent:", kFlag, "u_lock", "1"},
        {"e:u_lock=1:u_lock:chkent:", kStr, "u_lock", "1"},
        {"e:u_lock=1:u_lock:chkent:", kNum, "u_lock", "999"},
        {"u_lock:u_lockout:chkent:", kFlag, "u_lock", "-1"},  // the name is no field
        {"e:u_maxlen8:\t:u_maxlen#8:", kNum, "u_maxlen", "8"},
        {"e:u_maxlen#8:u_last", kFlag, "u_last", "1"},  // a boolean at the end
        // names become ids
        {"e:t_uid=alice:chkent:", kUid, "t_uid", "1000"},
        {"e:t_gid=users:chkent:", kGid, "t_gid", "100"},
        {"e:t_uid=nobody:chkent:", kUid, "t_uid", "-1"},
        {"e:t_uid@:chkent:", kUid, "t_uid", "-1"},
        {"e:t_uid=\\142ob:chkent:", kUid, "t_uid", "1001"},
        {"e:t_uid=" + std::string(VANT_AUTHCAP_MAX - 20, 'a') + ":", kUid, "t_uid", "-1"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.entry.substr(0, 40) + " " + row.id);
        use(row.entry);
        char *at = area;
        long number = 999;
        const char *str = row.kind == kStr ? agetstr(row.id, &at) : nullptr;
        std::string got = row.kind == kStr ? (str != nullptr ? str : "(null)")
                          : row.kind == kNum
                              ? std::to_string(agtnum(row.id, &number) == 0 ? number : 999)
                          : row.kind == kFlag ? std::to_string(agetflag(row.id))
                          : row.kind == kUid  ? std::to_string(agetuid(row.id))
                                              : std::to_string(agetgid(row.id));
        EXPECT_EQ(got, row.want);
    }
    use("e:n#99999999999999999999999:");
    long wrapped;
    agtnum("n", &wrapped);  // wraps, never overflows
}

TEST_F(FieldTest, StringsFollowEachOtherInTheAreaAndAreCutToTheirDestination) {
    use("e:a=one:b=two:chkent:");
    char *at = area;
    char *one = agetstr("a", &at);
    char *two = agetstr("b", &at);
    EXPECT_STREQ(one, "one");
    EXPECT_STREQ(two, "two");
    EXPECT_EQ(two, one + 4);
    EXPECT_EQ(at, two + 4);
    char buffer[12];
    memset(buffer, '#', sizeof buffer);
    at = buffer;
    EXPECT_EQ(authdb::adecode("ab\\:cdefgh:ij", &at, 5), buffer);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("ab:c\0#######", sizeof buffer));
    EXPECT_EQ(at, buffer + 5);
}

// The getters follow whichever database was read last, and never an entry
// whose buffer is gone.
TEST_F(AuthcapTest, GettersSeeTheEntryReadLast) {
    long pos = 0;
    ASSERT_EQ(agettty(&pos, ttys("tty01:t_uid=alice:chkent:\n"), nullptr), 1);
    box.write("/etc/auth/system/devassign", "tty01:v_type=terminal:chkent:\n");
    FILE *dev = fopen(box.path("/etc/auth/system/devassign").c_str(), "r");
    pos = 0;
    ASSERT_NE(agetdvag(&pos, dev, "tty01"), nullptr);
    fclose(dev);
    EXPECT_EQ(agetuid("t_uid"), -1);
    end_authcap(15);
    EXPECT_EQ(agetflag("v_type"), -1);  // "=" is no boolean
    char area[64], *at = area;
    EXPECT_STREQ(agetstr("v_type", &at), "terminal");
    end_authcap(20);
    EXPECT_EQ(current_entry(), nullptr);
    EXPECT_EQ(agetflag("chkent"), -1);
    EXPECT_EQ(agetstr("v_type", &at), nullptr);
    end_authcap(17);
    end_authcap(19);
}

}  // namespace
}  // namespace vant::test
