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

TEST_F(FieldTest, EscapesDecode) {
    use("e:s1=a\\:b:s2=^G:s3=\\101:s4=\\7:x:s5=\\E\\^\\\\\\n\\r\\t\\b\\f:s6=\\q\\8:s7=\\1012:"
        "s8=:s9=^::chkent:");
    EXPECT_EQ(str("s1"), "a:b");
    EXPECT_EQ(str("s2"), "\a");
    EXPECT_EQ(str("s3"), "A");
    EXPECT_EQ(str("s4"), "\a");
    EXPECT_EQ(str("s5"), "\033^\\\n\r\t\b\f");
    EXPECT_EQ(str("s6"), "q8");
    EXPECT_EQ(str("s7"), "A2");
    EXPECT_EQ(str("s8"), "");
    EXPECT_EQ(str("s9"), "\032");
}

TEST_F(FieldTest, EscapeOrCaretAtTheEndOfTheEntryEndsTheValue) {
    use("e:s=ab\\");
    EXPECT_EQ(str("s"), "ab");
    use("e:s=ab^");
    EXPECT_EQ(str("s"), "ab");
    use("e:s=");
    EXPECT_EQ(str("s"), "");
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

TEST_F(FieldTest, NumbersInEachBase) {
    use("e:n1#0x10:n2#010:n3#16:n4#-12:n5#0X1f:n6#0:n7#:n8#-0x10:n9#99999999999999999999999:");
    EXPECT_EQ(num("n1"), 16);
    EXPECT_EQ(num("n2"), 8);
    EXPECT_EQ(num("n3"), 16);
    EXPECT_EQ(num("n4"), -12);
    EXPECT_EQ(num("n5"), 31);
    EXPECT_EQ(num("n6"), 0);
    EXPECT_EQ(num("n7"), 0);
    EXPECT_EQ(num("n8"), -16);
    num("n9");  // wraps, never overflows
}

TEST_F(FieldTest, CancelledFieldMetFirstEndsTheLookup) {
    use("e:u_a@:u_a#5:chkent:");
    EXPECT_EQ(num("u_a"), 999);
    use("e:u_a#5:u_a@:chkent:");
    EXPECT_EQ(num("u_a"), 5);
    use("e:u_s@:u_s=x:u_f@:u_f:chkent:");
    EXPECT_EQ(str("u_s"), "(null)");
    EXPECT_EQ(agetflag("u_f"), 0);
    EXPECT_EQ(agetflag("u_g"), -1);
}

TEST_F(FieldTest, FieldsOfAnotherFormOrAnotherNameArePassedOver) {
    use("e:u_lock=1:u_lock:chkent:");
    EXPECT_EQ(agetflag("u_lock"), 1);
    EXPECT_EQ(str("u_lock"), "1");
    EXPECT_EQ(num("u_lock"), 999);
    use("u_lock:u_lockout:u_maxlen8:\t:u_maxlen#8:u_last");
    EXPECT_EQ(agetflag("u_lock"), -1);  // the name field is no field
    EXPECT_EQ(num("u_maxlen"), 8);
    EXPECT_EQ(agetflag("u_last"), 1);  // a boolean at the end of the entry
}

TEST_F(FieldTest, UserAndGroupNamesBecomeIds) {
    use("e:t_uid=alice:t_gid=users:t_nobody=nobody:t_gone@:t_uid2=\\142ob:chkent:");
    EXPECT_EQ(agetuid("t_uid"), 1000);
    EXPECT_EQ(agetgid("t_gid"), 100);
    EXPECT_EQ(agetuid("t_nobody"), -1);
    EXPECT_EQ(agetuid("t_gone"), -1);
    EXPECT_EQ(agetuid("t_none"), -1);
    EXPECT_EQ(agetuid("t_uid2"), 1001);
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
