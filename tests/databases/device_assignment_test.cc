// Tests of the Device Assignment database: its codec, lookups with their
// defaults, updates that keep every other line, and self-contained copies.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "databases/device_assignment.h"
#include "databases/system_db_fixture.h"

namespace vant::test {
namespace {

using databases::read_dv_fields;
using databases::release_dv_lists;
using databases::store_dv_fields;

constexpr const char *kDevices =
    "# devices of the sandbox\n"
    "lp0:v_devs=/dev/lp0:v_users=alice,bob:\\\n"
    "\t:v_type=printer:chkent:\n"
    "tty1|console:v_devs=/dev/tty1,/dev/vc/1:v_type=terminal:chkent:\n"
    "# tapes\n"
    "st0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n";

constexpr uint32_t kPrinter = 1u << 0;
constexpr uint32_t kTerminal = 1u << 1;
constexpr uint32_t kTape = 1u << 2;

// A device record to write, its lists held by the test.
struct Device {
    std::vector<char *> devs, users;
    struct dev_asg r {};

    explicit Device(const char *name) {
        if (name == nullptr) return;
        r.ufld.v_name = const_cast<char *>(name);
        PR_V_SET(r.uflg, PR_V_NAME);
    }
    // The copy's lists are its own.
    Device(const Device &other) : devs(other.devs), users(other.users), r(other.r) {
        if (!devs.empty()) r.ufld.v_devs = devs.data();
        if (!users.empty()) r.ufld.v_users = users.data();
    }
    Device &operator=(const Device &) = delete;

    Device &dev(const char *path) { return add(devs, r.ufld.v_devs, PR_V_DEVS, path); }
    Device &user(const char *name) { return add(users, r.ufld.v_users, PR_V_USERS, name); }
    Device &type(uint32_t mask) {
        r.ufld.v_type = mask;
        PR_V_SET(r.uflg, PR_V_TYPE);
        return *this;
    }

  private:
    Device &add(std::vector<char *> &list, char **&field, unsigned flag, const char *item) {
        if (!list.empty()) list.pop_back();
        list.push_back(const_cast<char *>(item));
        list.push_back(nullptr);
        field = list.data();
        PR_V_SET(r.uflg, flag);
        return *this;
    }
};

// What store_dv_fields writes, or "FAILED" followed by what it wrote.
std::string stored(const char *name, const Device &d) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    int ok = store_dv_fields(out, name, &d.r.ufld, &d.r.uflg);
    fclose(out);
    std::string result = (ok == 1 ? "" : "FAILED ") + std::string(text, size);
    free(text);
    return result;
}

std::vector<std::string> items(char *const *list) {
    std::vector<std::string> all;
    for (; list != nullptr && *list != nullptr; ++list)
        all.emplace_back(*list);
    return all;
}

// One entry text decoded into a half that releases its lists.
struct Decoded {
    struct v_field f {};
    struct v_flag flags {};
    std::string text;
    int result;
    explicit Decoded(std::string entry) : text(std::move(entry)) {
        result = read_dv_fields(&f, &flags, text.data());
    }
    ~Decoded() { release_dv_lists(&f); }
};

class DeviceAssignmentTest : public SystemDbTest {
  protected:
    void SetUp() override {
        SystemDbTest::SetUp();
        box.write(kDevassign, kDevices, 0664);
    }

    int put(const char *name, Device d) { return putdvagnam(name, &d.r); }

    std::vector<std::string> pass() {
        std::vector<std::string> names;
        while (struct dev_asg *d = getdvagent())
            names.emplace_back(d->ufld.v_name);
        return names;
    }
};

// ---------------------------------------------------------------------
// The codec

TEST_F(DeviceAssignmentTest, StoreWritesUsersBeforeTypeAndAlwaysContinuesAfterThem) {
    Device all = Device("lp0").dev("/dev/lp0").dev("/dev/lp1").user("alice").type(kPrinter | kTape);
    EXPECT_EQ(stored("lp0", all),
              "lp0:v_devs=/dev/lp0,/dev/lp1:v_users=alice:\\\n\t:v_type=printer,tape:chkent:\n");
    EXPECT_EQ(stored("lp0", Device("lp0").user("bob")), "lp0:v_users=bob:\\\n\t:chkent:\n");
    EXPECT_EQ(stored("d", Device("d").dev("/dev/x")), "d:v_devs=/dev/x:chkent:\n");
    EXPECT_EQ(stored(nullptr, Device("d").type(kTerminal)), "v_type=terminal:chkent:\n");
}

TEST_F(DeviceAssignmentTest, StoreRefusesWhatCouldNotBeReadBack) {
    EXPECT_EQ(stored("d", Device("d").dev("/dev/x").type(0)), "FAILED d:v_devs=/dev/x:");
    EXPECT_EQ(stored("d", Device("d").type(1u << 5)), "FAILED d:");
    EXPECT_EQ(stored("d", Device("d").dev("/dev/x").dev("/dev/a:b")), "FAILED d:v_devs=/dev/x");
    EXPECT_EQ(stored("d", Device("d").user("a,b")), "FAILED d:v_users=");
    EXPECT_EQ(stored("d", Device("d").user("")), "FAILED d:v_users=");
    Device no_list("d");
    PR_V_SET(no_list.r.uflg, PR_V_DEVS);
    EXPECT_EQ(stored("d", no_list), "FAILED d:");
}

TEST_F(DeviceAssignmentTest, ReadDecodesWhatStoreWrote) {
    Device all = Device("lp0")
                     .dev("/dev/lp0")
                     .dev("/dev/lp1")
                     .dev("/dev/lp2")
                     .user("alice")
                     .type(kPrinter | kTerminal);
    std::string text = stored("lp0", all);
    for (size_t at; (at = text.find("\\\n")) != std::string::npos;)
        text.erase(at, 2);
    text.pop_back();
    Decoded d(text);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.flags.word, PR_V_NAME | PR_V_DEVS | PR_V_USERS | PR_V_TYPE);
    EXPECT_STREQ(d.f.v_name, "lp0");
    EXPECT_EQ(items(d.f.v_devs), (std::vector<std::string>{"/dev/lp0", "/dev/lp1", "/dev/lp2"}));
    EXPECT_EQ(items(d.f.v_users), (std::vector<std::string>{"alice"}));
    EXPECT_EQ(d.f.v_type, kPrinter | kTerminal);

    Decoded only_devs("d:v_devs=/dev/x:chkent:");
    ASSERT_EQ(only_devs.result, 0);
    EXPECT_EQ(only_devs.flags.word, PR_V_NAME | PR_V_DEVS);
}

TEST_F(DeviceAssignmentTest, ReadIgnoresOtherIdentifiersAndKeepsKnownTypeNames) {
    Decoded d("d:v_devsx=/dev/y:: :v_type=tape,modem,printer:v_devs=/dev/x:v_devs=/dev/z:chkent:");
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(items(d.f.v_devs), (std::vector<std::string>{"/dev/z"}));
    EXPECT_EQ(d.f.v_type, kTape | kPrinter);
    ASSERT_FALSE(records().empty());
    EXPECT_EQ(records().back(),
              (std::vector<std::string>{"14", "modem", "not a recognized name for the list"}));

    Decoded unnamed(":v_type=:chkent:");
    ASSERT_EQ(unnamed.result, 0);
    EXPECT_EQ(unnamed.f.v_name, nullptr);
    EXPECT_EQ(unnamed.flags.word, PR_V_TYPE) << "the type is present, if without names";
}

TEST_F(DeviceAssignmentTest, ReadRejectsMalformedEntries) {
    for (const char *text : {
             "d:v_devs=:chkent:",          // empty list
             "d:v_users=:chkent:",         // empty list
             "d:v_devs#1:chkent:",         // wrong separator
             "d:v_type@:chkent:",          // cancelled
             "d:v_devs=/dev/x:v_users=a",  // no closing colon
             "d",                          // no name field
         })
        EXPECT_EQ(Decoded(text).result, 1) << text;
}

// ---------------------------------------------------------------------
// Reading

TEST_F(DeviceAssignmentTest, LookupGivesTheEntryWithTheFirstDefaultEntryBesideIt) {
    struct dev_asg *d = getdvagnam("console");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->ufld.v_name, "tty1|console");
    EXPECT_EQ(d->uflg.word, PR_V_NAME | PR_V_DEVS | PR_V_TYPE);
    EXPECT_EQ(items(d->ufld.v_devs), (std::vector<std::string>{"/dev/tty1", "/dev/vc/1"}));
    EXPECT_EQ(d->ufld.v_type, kTerminal);
    EXPECT_STREQ(d->sfld.v_name, "default");
    EXPECT_EQ(d->sflg.word, PR_V_NAME | PR_V_TYPE | PR_V_USERS);
    EXPECT_EQ(d->sfld.v_type, kTerminal);
    EXPECT_EQ(items(d->sfld.v_users), (std::vector<std::string>{"root"}));

    ASSERT_NE(d = getdvagnam("lp0"), nullptr);
    EXPECT_EQ(items(d->ufld.v_users), (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(getdvagnam("tty1|console"), nullptr) << "names are matched one by one";
    EXPECT_EQ(getdvagnam("lp"), nullptr);
}

TEST_F(DeviceAssignmentTest, SequentialPassGivesEveryEntryThenNull) {
    EXPECT_EQ(pass(), (std::vector<std::string>{"lp0", "tty1|console", "st0"}));
    EXPECT_EQ(getdvagent(), nullptr);
    enddvagent();
    EXPECT_EQ(pass().size(), 3u);
}

TEST_F(DeviceAssignmentTest, ReadersNeedASystemDefaultEntryAndADecodableEntry) {
    box.write(kDevassign, "d1:v_devs=/dev/d1:chkent:\nd2:v_devs=:chkent:\nd3:chkent:\n");
    EXPECT_EQ(pass(), (std::vector<std::string>{"d1"}));
    ASSERT_NE(getdvagnam("d3"), nullptr);
    box.remove(kSystemDefault);
    EXPECT_EQ(getdvagnam("d1"), nullptr);
    box.remove(kDevassign);
    EXPECT_EQ(getdvagent(), nullptr);
}

// ---------------------------------------------------------------------
// Copies

TEST_F(DeviceAssignmentTest, CopyOwnsBothHalvesAndOutlivesTheReader) {
    box.write(kDevassign, "d:v_devs=/dev/a,/dev/b,/dev/c:v_users=bob:chkent:\n");
    struct dev_asg *d = getdvagnam("d");
    ASSERT_NE(d, nullptr);
    struct dev_asg *copy = copydvagent(d);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->ufld.v_devs, d->ufld.v_devs);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(copy->ufld.v_devs[i], d->ufld.v_devs[i]);
    EXPECT_NE(copy->ufld.v_name, d->ufld.v_name);
    EXPECT_NE(copy->sfld.v_users, d->sfld.v_users);
    EXPECT_EQ(copy->ufld.v_type, 0u);
    enddvagent();
    EXPECT_STREQ(copy->ufld.v_name, "d");
    EXPECT_EQ(items(copy->ufld.v_devs), (std::vector<std::string>{"/dev/a", "/dev/b", "/dev/c"}));
    EXPECT_EQ(items(copy->ufld.v_users), (std::vector<std::string>{"bob"}));
    EXPECT_STREQ(copy->sfld.v_name, "default");
    EXPECT_EQ(items(copy->sfld.v_users), (std::vector<std::string>{"root"}));
    EXPECT_EQ(copy->sflg.word, PR_V_NAME | PR_V_TYPE | PR_V_USERS);
    free(copy);
    EXPECT_EQ(copydvagent(nullptr), nullptr);
}

// ---------------------------------------------------------------------
// Updating

TEST_F(DeviceAssignmentTest, PutReplacesTheEntryWhereItStood) {
    EXPECT_EQ(put("lp0", Device("lp0").dev("/dev/usb/lp0").user("bob").type(kPrinter)), 1);
    expect_unchanged(kDevassign,
                     "# devices of the sandbox\n"
                     "lp0:v_devs=/dev/usb/lp0:v_users=bob:\\\n"
                     "\t:v_type=printer:chkent:\n"
                     "tty1|console:v_devs=/dev/tty1,/dev/vc/1:v_type=terminal:chkent:\n"
                     "# tapes\n"
                     "st0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n");
    EXPECT_EQ(put("tty1|console", Device("tty1").dev("/dev/tty1")), 1);
    EXPECT_NE(box.read(kDevassign).find("\ntty1|console:v_devs=/dev/tty1:chkent:\n# tapes\n"),
              std::string::npos);
}

TEST_F(DeviceAssignmentTest, PutAppendsANewDevice) {
    EXPECT_EQ(put("mt1", Device("mt1").dev("/dev/st1").type(kTape)), 1);
    expect_unchanged(kDevassign,
                     std::string(kDevices) + "mt1:v_devs=/dev/st1:v_type=tape:chkent:\n");
    struct dev_asg *d = getdvagnam("mt1");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ufld.v_type, kTape);
    EXPECT_FALSE(PR_V_ISSET(d->uflg, PR_V_USERS));
}

TEST_F(DeviceAssignmentTest, PutWithoutANameDeletesTheEntryAndKeepsEveryOtherLine) {
    EXPECT_EQ(put("lp0", Device(nullptr).dev("/dev/lp0")), 1);
    expect_unchanged(kDevassign,
                     "# devices of the sandbox\n"
                     "tty1|console:v_devs=/dev/tty1,/dev/vc/1:v_type=terminal:chkent:\n"
                     "# tapes\n"
                     "st0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n");
    EXPECT_EQ(getdvagnam("lp0"), nullptr);
}

TEST_F(DeviceAssignmentTest, PutOfTheReadersOwnRecordWritesThatRecord) {
    struct dev_asg *d = getdvagnam("st0");
    ASSERT_NE(d, nullptr);
    d->ufld.v_type = kTape | kPrinter;
    EXPECT_EQ(putdvagnam(d->ufld.v_name, d), 1);
    EXPECT_EQ(box.read(kDevassign).substr(box.read(kDevassign).find("# tapes\n")),
              "# tapes\nst0:v_devs=/dev/st0,/dev/nst0:v_type=printer,tape:chkent:\n");
}

TEST_F(DeviceAssignmentTest, AnEntryIsFoundOnlyWhereALineBegins) {
    // A line longer than any fixed read, with a piece that looks like the
    // start of the entry being replaced.
    std::string comment = "# " + std::string(253, '-') + "lp0:v_devs=/dev/null:chkent:\n";
    std::string text = comment + kDevices;
    box.write(kDevassign, text);
    EXPECT_EQ(put("lp0", Device(nullptr)), 1);
    EXPECT_EQ(box.read(kDevassign).substr(0, comment.size()), comment);
    EXPECT_EQ(box.read(kDevassign).find("\nlp0:"), std::string::npos);
}

TEST_F(DeviceAssignmentTest, ADamagedEntryIsReplacedWholeAndTheRestKept) {
    box.write(kDevassign,
              "lp0:v_devs=/dev/lp0:\\\n\t:v_users=bob:\ntty1:v_devs=/dev/tty1:chkent:\n");
    EXPECT_EQ(put("lp0", Device("lp0").dev("/dev/lp0")), 1);
    expect_unchanged(kDevassign, "lp0:v_devs=/dev/lp0:chkent:\ntty1:v_devs=/dev/tty1:chkent:\n");
}

TEST_F(DeviceAssignmentTest, AFailedUpdateKeepsTheDatabaseAndIsAudited) {
    EXPECT_EQ(put("lp0", Device("lp0").dev("/dev/lp0").type(0)), 0);
    expect_unchanged(kDevassign, kDevices);
    ASSERT_FALSE(records().empty());
    EXPECT_EQ(records().back(), (std::vector<std::string>{"20", "lp0", "cannot update entry"}));
    EXPECT_EQ(put("lp:0", Device("lp0").dev("/dev/lp0")), 0);
    EXPECT_EQ(put("#lp0", Device("lp0").dev("/dev/lp0")), 0);
    expect_unchanged(kDevassign, kDevices);
}

}  // namespace
}  // namespace vant::test
