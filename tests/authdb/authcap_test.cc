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

// One entry "big" of exactly `length` characters once joined, cut into
// continuation lines of at most 1000 characters.
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
    int get(const char *name, FILE *fp, long *pos = nullptr) {
        return agetent(&buf, &len, name, 15, pos, fp);
    }
    // A whole pass: each entry read, "!" for a failure, up to the end.
    std::string pass(FILE *fp) {
        std::string trace;
        long pos = 0;
        for (int i = 0, r; i < 5 && (r = get(nullptr, fp, &pos)) != 0; ++i)
            trace += (r == 1 ? std::string(current_entry()) : "!") + "|";
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
        {"tty01:t_uid=a:\\\n\t:chkent:\n", "tty01:t_uid=a:\t:chkent:|", {}},
        {"# a comment\\\ntty00:chkent:\\\nstill it\n#short\ntty01:chkent:\n", "tty01:chkent:|", {}},
        {"tty01:chkent:\\\n", "", {}},
        {"tty01:t_uid=alice:\ntty03:chkent:\n", "!|", {{"15", "", "no chkent field"}}},
        {"\ntty01:chkent:\n", "!|", {{"15", "", "no chkent field"}}},
        {"tty01:chkent:\ntty\0x:chkent:\n\0tty03:chkent:\n"s, "tty01:chkent:|!|", {}},
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

// Lookups by name take only the name field's alternatives, and never a
// line that is part of another entry.
TEST_F(ReaderTest, LookupsByNameFindNoEntryInsideAnother) {
    FILE *fp = ttys("root|admin:t_uid=root:chkent:\ntty02:chkent@:\n#c\\\ntty00:chkent:\n");
    EXPECT_EQ(get("admin", fp), 1);
    for (const char *name : {"adm", "t_uid=root", "tty00"})
        EXPECT_EQ(get(name, fp), 0) << name;
    EXPECT_EQ(get("tty02", fp), -1);
    ASSERT_EQ(get("big", ttys(entry_of_length(10239))), 1);
    EXPECT_EQ(strlen(current_entry()), 10239u);
    EXPECT_EQ(len, 10240);
    // The unread lines of an overlong entry are never entries of their own.
    std::string text = entry_of_length(10239);
    text.back() = '\\';
    EXPECT_EQ(get("evil", ttys(text + "\nx:\\\nevil:t_uid=root:chkent:\n")), 0);
    EXPECT_LE(len, 10240);
    // Nor is a piece of a long physical line.
    std::string label(3000, 'x');
    label.replace(1009, 12, "evil:chkent:");  // "evil" at the 1024th character
    fp = ttys("tty01:t_label=" + label + ":chkent:\n");
    EXPECT_EQ(get("evil", fp), 0);
    ASSERT_EQ(get("tty01", fp), 1);
    EXPECT_EQ(strlen(current_entry()), 14u + 3000 + 8);
    EXPECT_EQ(reports(), (std::vector<Report>{{"15", "tty02", "no chkent field"},
                                              {"15", "evil", "Authcap entry too long"}}));
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
        {"e:s=a\\:b:chkent:", kStr, "s", "a:b"},
        {"e:s=\\E\\^\\\\\\n\\r\\t\\b\\f\\101:", kStr, "s", "\033^\\\n\r\t\b\fA"},
        {"e:s=:s9=^::chkent:", kStr, "s", ""},
        {"e:s=ab\\", kStr, "s", "ab"},  // an escape or caret ends the entry
        {"e:n#-0x10:", kNum, "n", "-16"},
        {"e:u_a@:u_a#5:chkent:", kNum, "u_a", "999"},
        {"e:u_f@:u_f:chkent:", kFlag, "u_f", "0"},
        {"e:u_lock=1:u_lock:chkent:", kFlag, "u_lock", "1"},
        {"u_lock:u_lockout:chkent:", kFlag, "u_lock", "-1"},  // the name is no field
        {"e:u_maxlen8:\t:u_maxlen#8:", kNum, "u_maxlen", "8"},
        {"e:u_maxlen#8:u_last", kFlag, "u_last", "1"},  // a boolean at the end
        {"e:t_gid=users:chkent:", kGid, "t_gid", "100"},
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

// The getters never read an entry whose buffer is gone.
TEST_F(AuthcapTest, GettersSeeNoEntryAfterItsDatabaseIsClosed) {
    long pos = 0;
    FILE *fp = database("/etc/auth/system/devassign", "tty01:v_type=terminal:chkent:\n");
    ASSERT_NE(agetdvag(&pos, fp, "tty01"), nullptr);
    end_authcap(20);
    EXPECT_EQ(current_entry(), nullptr);
    char area[64], *at = area;
    EXPECT_EQ(agetstr("v_type", &at), nullptr);
}

}  // namespace
}  // namespace vant::test
