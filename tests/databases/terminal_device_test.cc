// The Terminal Control and Device Assignment databases: damaged entries, the
// device codec, and what each writer matches and refuses beyond the
// writers' contract.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "databases/databases_fixture.h"
#include "databases/device_assignment.h"

namespace vant::test {
namespace {

using Texts = std::vector<std::string>;

constexpr const char *kTerminals =
    "# terminals of the sandbox\n"
    "tty1:t_devname=tty1:t_uid=alice:t_logtime#100:\\\n"
    "\t:t_failures#1:chkent:\n"
    "tty2|console:t_devname=tty2:t_maxtries#3:t_lock:t_label=front desk:chkent:\n"
    "# a terminal of a user since removed\n";

constexpr const char *kDevices =
    "lp0:v_devs=/dev/lp0:v_users=alice,bob:chkent:\n"
    "tty1|console:v_devs=/dev/tty1,/dev/vc/1:v_type=terminal:chkent:\n"
    "# tapes\n"
    "st0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n";

constexpr uint32_t kPrinter = 1u << 0, kTerminal = 1u << 1, kTape = 1u << 2;

struct pr_term terminal(const char *devname, uint16_t failures = 0, const char *label = nullptr) {
    struct pr_term r {};
    snprintf(r.ufld.t_devname, sizeof r.ufld.t_devname, "%s", devname);
    r.ufld.t_failures = failures;
    r.uflg.word = PR_T_DEVNAME | PR_T_FAILURES;
    if (label != nullptr) {
        snprintf(r.ufld.t_label, sizeof r.ufld.t_label, "%s", label);
        PR_T_SET(r.uflg, PR_T_LABEL);
    }
    return r;
}

// A device record whose lists it owns; a type of -1 is left out.
struct Device {
    Texts devs, users;
    std::vector<char *> lists[2];
    std::string name;
    struct dev_asg r {};
    Device(const char *n, Texts d, Texts u = {}, int64_t type = -1)
        : devs(std::move(d)), users(std::move(u)), name(n) {
        r.ufld.v_name = name.data();
        r.ufld.v_devs = list(devs, lists[0]);
        r.ufld.v_users = list(users, lists[1]);
        r.ufld.v_type = static_cast<vant_mask_t>(type);
        r.uflg.word = PR_V_NAME | (devs.empty() ? 0 : PR_V_DEVS) |
                      (users.empty() ? 0 : PR_V_USERS) | (type < 0 ? 0 : PR_V_TYPE);
    }
    Device(const Device &) = delete;
    static char **list(Texts &items, std::vector<char *> &pointers) {
        for (std::string &i : items)
            pointers.push_back(i.data());
        pointers.push_back(nullptr);
        return items.empty() ? nullptr : pointers.data();
    }
    std::string stored() const {
        return stored_text([this](FILE *out) {
            return databases::store_dv_fields(out, r.ufld.v_name, &r.ufld, &r.uflg);
        });
    }
};

Texts items(char *const *list) {
    Texts all;
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
        result = databases::read_dv_fields(&f, &flags, text.data());
    }
    ~Decoded() { databases::release_dv_lists(&f); }
};

class TerminalDeviceTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        box.write(kTtys, kTerminals, 0664);
        box.write(kDevassign, kDevices, 0664);
    }
};

TEST_F(TerminalDeviceTest, AnEntryThatCannotBeReadStopsReadersAndTheWriter) {
    const std::string damaged = "tty1:t_devname=tty1:chkent:\ntty2:t_devname=tty2:\ntty3:chkent:\n";
    box.write(kTtys, damaged);
    Texts names;
    while (struct pr_term *pr = getprtcent())
        names.push_back(pr->ufld.t_devname);
    EXPECT_EQ(names, Texts{"tty1"});
    EXPECT_EQ(getprtcent(), nullptr) << "the pass ended with the damaged entry";
    EXPECT_EQ(getprtcnam("tty2"), nullptr);
    EXPECT_NE(getprtcnam("tty3"), nullptr) << "a lookup passes over entries of other names";
    struct pr_term t = terminal("tty1");
    EXPECT_EQ(putprtcnam("tty1", &t), 0);
    EXPECT_EQ(box.read(kTtys), damaged);
    box.remove(kTtys);
    EXPECT_EQ(getprtcnam("tty1"), nullptr);
    t = terminal("tty9");
    EXPECT_EQ(putprtcnam("tty9", &t), 1) << "a missing database is begun";
    EXPECT_EQ(box.read(kTtys), "tty9:t_devname=tty9:t_failures#0:chkent:\n");
}

TEST_F(TerminalDeviceTest, TheTerminalWriterMatchesTheDevnameAndRefusesWhatItCannotHold) {
    // The alias names the entry for readers; the update goes by t_devname.
    struct pr_term t = terminal("tty2", 0, "back office");
    EXPECT_EQ(putprtcnam("tty2", &t), 1);
    std::string text = box.read(kTtys);
    EXPECT_NE(
        text.find("\ntty2:t_devname=tty2:t_failures#0:t_label=back office:\\\n\t:chkent:\n# a"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("console"), std::string::npos);
    EXPECT_STREQ(getprtcnam("tty2")->ufld.t_label, "back office") << "a reader sees the new file";

    // The last name is longer than t_devname holds: never found to replace.
    for (auto [name, label] : {std::pair{"tty1", "a:t_lock"},
                               {"tty1", "a\nroot"},
                               {"tty:1", ""},
                               {"#tty1", ""},
                               {"", ""},
                               {"ttyABCDEFGHI", ""}}) {
        struct pr_term bad = terminal(*name ? name : "tty1", 0, *label ? label : nullptr);
        EXPECT_EQ(putprtcnam(name, &bad), 0) << name;
    }
    EXPECT_EQ(box.read(kTtys), text);
    EXPECT_TRUE(audited("ttyABCDEFGHI", VANT_OBJ_TTYS));
    struct pr_term longest = terminal("ttyABCDEFGH", 2);
    EXPECT_EQ(putprtcnam("ttyABCDEFGH", &longest), 1);
    EXPECT_EQ(putprtcnam("ttyABCDEFGH", &longest), 1);
    text += "ttyABCDEFGH:t_devname=ttyABCDEFGH:t_failures#2:chkent:\n";
    EXPECT_EQ(box.read(kTtys), text);

    box.write(kFiles, "/etc/passwd:f_mode#0644:f_type=r:chkent:\n");
    EXPECT_EQ(putprtcnam("tty1", &t), 0) << "no File Control entry for the new version";
    EXPECT_EQ(box.read(kTtys), text);
}

TEST_F(TerminalDeviceTest, TheDeviceCodecWritesWhatItCanReadBack) {
    EXPECT_EQ(Device("lp0", {"/dev/lp0", "/dev/lp1"}, {"alice"}, kPrinter | kTape).stored(),
              "lp0:v_devs=/dev/lp0,/dev/lp1:v_users=alice:\\\n\t:v_type=printer,tape:chkent:\n");
    EXPECT_EQ(Device("d", {"/dev/x"}, {}, 0).stored(), "FAILED d:v_devs=/dev/x:");
    EXPECT_EQ(Device("d", {}, {}, 1u << 5).stored(), "FAILED d:");
    EXPECT_EQ(Device("d", {"/dev/x", "/dev/a:b"}).stored(), "FAILED d:v_devs=/dev/x");
    EXPECT_EQ(Device("d", {}, {"a,b"}).stored(), "FAILED d:v_users=");

    Decoded d(
        "lp0:v_devs=/dev/lp0,/dev/lp1,/dev/lp2:v_users=alice::v_type=printer,terminal:chkent:");
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.flags.word, PR_V_NAME | PR_V_DEVS | PR_V_USERS | PR_V_TYPE);
    EXPECT_EQ(items(d.f.v_devs), (Texts{"/dev/lp0", "/dev/lp1", "/dev/lp2"}));
    EXPECT_EQ(items(d.f.v_users), Texts{"alice"});
    EXPECT_EQ(d.f.v_type, kPrinter | kTerminal);

    Decoded other("d:v_devsx=/dev/y:: :v_type=tape,modem:v_devs=/dev/x:v_devs=/dev/z:chkent:");
    ASSERT_EQ(other.result, 0);
    EXPECT_EQ(items(other.f.v_devs), Texts{"/dev/z"});
    EXPECT_EQ(other.f.v_type, kTape);
    EXPECT_EQ(audited().back(), (Texts{"14", "modem", "not a recognized name for the list"}));
    for (const char *text : {"d:v_devs=:chkent:", "d:v_users=:chkent:", "d:v_devs#1:chkent:",
                             "d:v_type@:chkent:", "d:v_devs=/dev/x:v_users=a", "d"})
        EXPECT_EQ(Decoded(text).result, 1) << text;
}

TEST_F(TerminalDeviceTest, TheDeviceWriterMatchesWholeNameFieldsWhereLinesBegin) {
    Device tty1("tty1", {"/dev/tty1"}), lp0("lp0", {"/dev/lp0"});
    EXPECT_EQ(putdvagnam("tty1|console", &tty1.r), 1);
    EXPECT_NE(box.read(kDevassign).find("\ntty1|console:v_devs=/dev/tty1:chkent:\n# tapes\n"),
              std::string::npos);
    // A line longer than any fixed read, with a piece that looks like the
    // start of the entry being replaced.
    std::string comment = "# " + std::string(253, '-') + "lp0:v_devs=/dev/null:chkent:\n";
    box.write(kDevassign, comment + "lp0:v_devs=/dev/lp0:\\\n\t:v_users=bob:\nst0:chkent:\n");
    EXPECT_EQ(putdvagnam("lp0", &lp0.r), 1);
    EXPECT_EQ(box.read(kDevassign), comment + "lp0:v_devs=/dev/lp0:chkent:\nst0:chkent:\n")
        << "a damaged entry is replaced whole";
    for (const char *name : {"lp:0", "#lp0"})
        EXPECT_EQ(putdvagnam(name, &lp0.r), 0) << name;
}

}  // namespace
}  // namespace vant::test
