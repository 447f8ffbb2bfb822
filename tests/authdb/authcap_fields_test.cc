// Tests of the field getters: lookup order, cancelled fields, escapes,
// numbers, ids and lists, and which entry the getters see.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "authdb/authcap.h"
#include "authdb/authcap_fixture.h"

namespace vant::test {
namespace {

using authdb::current_entry;
using authdb::set_current_entry;

class FieldTest : public AuthcapTest {
  protected:
    void use(const std::string &entry) {
        text = entry;
        set_current_entry(text.data());
    }
    std::string str(const char *id) {
        char *at = area;
        const char *value = agetstr(id, &at);
        return value != nullptr ? value : "(null)";
    }
    long num(const char *id) {
        long value = 999;
        return agtnum(id, &value) == 0 ? value : 999;
    }

    std::string text;
    char area[VANT_AUTHCAP_MAX];
};

// What each getter finds for a field of an entry: "(null)" or 999 for
// nothing, flags as agetflag answers, ids as agetuid or agetgid.
TEST_F(FieldTest, GettersDecodeTheFirstFieldOfTheirForm) {
    enum Kind { kStr, kNum, kFlag, kUid, kGid };
    struct Row {
        const char *entry;
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
        {"e:n#16:", kNum, "n", "16"},
        {"e:n#-12:", kNum, "n", "-12"},
        {"e:n#0X1f:", kNum, "n", "31"},
        {"e:n#0:", kNum, "n", "0"},
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
        {"e:chkent:", kUid, "t_uid", "-1"},
        {"e:t_uid=\\142ob:chkent:", kUid, "t_uid", "1001"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.entry) + " " + row.id);
        use(row.entry);
        switch (row.kind) {
            case kStr:
                EXPECT_EQ(str(row.id), row.want);
                break;
            case kNum:
                EXPECT_EQ(std::to_string(num(row.id)), row.want);
                break;
            case kFlag:
                EXPECT_EQ(std::to_string(agetflag(row.id)), row.want);
                break;
            case kUid:
                EXPECT_EQ(std::to_string(agetuid(row.id)), row.want);
                break;
            case kGid:
                EXPECT_EQ(std::to_string(agetgid(row.id)), row.want);
                break;
        }
    }
    use("e:n#99999999999999999999999:");
    num("n");  // wraps, never overflows
}

TEST_F(FieldTest, StringsFollowEachOtherInTheArea) {
    use("e:a=one:b=two:chkent:");
    char *at = area;
    char *one = agetstr("a", &at);
    char *two = agetstr("b", &at);
    EXPECT_STREQ(one, "one");
    EXPECT_STREQ(two, "two");
    EXPECT_EQ(two, one + 4);
    EXPECT_EQ(at, two + 4);
}

TEST(Decode, ValueIsCutAtTheEndOfItsDestination) {
    char buffer[12];
    memset(buffer, '#', sizeof buffer);
    char *at = buffer;
    EXPECT_EQ(authdb::adecode("ab\\:cdefgh:ij", &at, 5), buffer);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("ab:c\0#######", sizeof buffer));
    EXPECT_EQ(at, buffer + 5);
}

TEST_F(FieldTest, LongestValueFitsTheIdBuffer) {
    use("e:t_uid=" + std::string(VANT_AUTHCAP_MAX - 20, 'a') + ":chkent:");
    EXPECT_EQ(agetuid("t_uid"), -1);
}

TEST(StrList, SplitsAtCommasInPlace) {
    char text[] = "tty01,,tty02,";
    char **list = agetstrlist(text);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> items(list, list + 4);
    EXPECT_EQ(items, (std::vector<std::string>{"tty01", "", "tty02", ""}));
    EXPECT_EQ(list[0], text);
    EXPECT_EQ(list[4], nullptr);
    free(list);
    char empty[] = "";
    EXPECT_EQ(agetstrlist(empty), nullptr);
}

// The getters follow whichever database was read last, and never an entry
// whose buffer is gone.
TEST_F(AuthcapTest, GettersSeeTheEntryReadLast) {
    FILE *tty = ttys("tty01:t_uid=alice:chkent:\n");
    long pos = 0;
    ASSERT_EQ(agettty(&pos, tty, nullptr), 1);
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
