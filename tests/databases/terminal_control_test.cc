// Tests of the Terminal Control database: lookups with their defaults,
// sequential passes, and updates that keep every other entry's text.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "databases/system_db_fixture.h"
#include "platform/clock.h"

namespace {

struct Naps {
    size_t count = 0;
};
Naps naps;

}  // namespace

// Replaces the library's nap, so that waiting for a writer takes no time.
static void fake_nap(long) {
    ++naps.count;
}
[[maybe_unused]] static const bool nap_replaced =
    (vant::platform::set_sleep_function(fake_nap), true);

namespace vant::test {
namespace {

constexpr const char *kTerminals =
    "# terminals of the sandbox\n"
    "tty1:t_devname=tty1:t_uid=alice:t_logtime#100:\\\n"
    "\t:t_failures#1:chkent:\n"
    "tty2|console:t_devname=tty2:t_maxtries#3:t_lock:t_label=front desk:chkent:\n"
    "# a terminal of a user since removed\n"
    "tty3:t_devname=tty3:t_uid=carol:t_site=north:chkent:\n"
    "spare:t_maxtries#1:chkent:\n";

constexpr const char *kTty1Replaced = "tty1:t_devname=tty1:t_uid=bob:t_logtime#200:\\\n";

// A terminal record to write: its own half only.
struct Terminal {
    struct pr_term r {};
    explicit Terminal(const char *devname) {
        if (devname == nullptr) return;
        strcpy(r.ufld.t_devname, devname);
        PR_T_SET(r.uflg, PR_T_DEVNAME);
    }
    Terminal &uid(vant_id_t id) { return set(PR_T_UID, r.ufld.t_uid = id); }
    Terminal &logtime(vant_time_t t) { return set(PR_T_LOGTIME, r.ufld.t_logtime = t); }
    Terminal &failures(uint16_t n) { return set(PR_T_FAILURES, r.ufld.t_failures = n); }
    Terminal &label(const char *text) {
        strcpy(r.ufld.t_label, text);
        return set(PR_T_LABEL, 0);
    }

  private:
    template <typename T>
    Terminal &set(unsigned flag, T) {
        PR_T_SET(r.uflg, flag);
        return *this;
    }
};

class TerminalControlTest : public SystemDbTest {
  protected:
    void SetUp() override {
        SystemDbTest::SetUp();
        box.write(kTtys, kTerminals, 0664);
    }

    int put(const char *name, Terminal t) { return putprtcnam(name, &t.r); }

    std::vector<std::string> pass() {
        std::vector<std::string> names;
        while (struct pr_term *pr = getprtcent())
            names.push_back(PR_T_ISSET(pr->uflg, PR_T_DEVNAME) ? pr->ufld.t_devname : "-");
        return names;
    }

    void expect_failed_update(const char *name) {
        expect_unchanged(kTtys, kTerminals);
        ASSERT_FALSE(records().empty());
        EXPECT_EQ(records().back(), (std::vector<std::string>{"15", name, "cannot update entry"}));
    }
};

// ---------------------------------------------------------------------
// Reading

TEST_F(TerminalControlTest, LookupGivesTheEntryWithTheFirstDefaultEntryBesideIt) {
    struct pr_term *pr = getprtcnam("tty1");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.t_devname, "tty1");
    EXPECT_EQ(pr->uflg.word, PR_T_DEVNAME | PR_T_UID | PR_T_LOGTIME | PR_T_FAILURES);
    EXPECT_EQ(pr->ufld.t_uid, 1000);
    EXPECT_EQ(pr->ufld.t_logtime, 100);
    EXPECT_EQ(pr->ufld.t_failures, 1);
    EXPECT_EQ(pr->sflg.word, PR_T_MAXTRIES | PR_T_LOGDELAY | PR_T_LOGIN_TIMEOUT);
    EXPECT_EQ(pr->sfld.t_maxtries, 5);
    EXPECT_EQ(pr->sfld.t_logdelay, 2u);
    EXPECT_EQ(pr->sfld.t_login_timeout, 30);

    pr = getprtcnam("console");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.t_devname, "tty2");
    EXPECT_EQ(pr->ufld.t_lock, 1);
    EXPECT_STREQ(pr->ufld.t_label, "front desk");
    EXPECT_EQ(getprtcnam("tty"), nullptr);
    EXPECT_EQ(getprtcnam("tty1x"), nullptr);
}

TEST_F(TerminalControlTest, AUserNameWithoutAnIdLeavesTheFieldAbsent) {
    struct pr_term *pr = getprtcnam("tty3");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->uflg.word, PR_T_DEVNAME);
}

TEST_F(TerminalControlTest, WithoutASystemDefaultEntryThereIsNoTerminal) {
    box.remove(kSystemDefault);
    EXPECT_EQ(getprtcnam("tty1"), nullptr);
    EXPECT_EQ(getprtcent(), nullptr);
}

TEST_F(TerminalControlTest, BuiltInDefaultsServeWhenTheProtectedFilesAreOff) {
    box.remove(kSystemDefault);
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    for (int lookup = 0; lookup < 2; ++lookup) {
        struct pr_term *pr = getprtcnam("tty2");
        ASSERT_NE(pr, nullptr) << "lookup " << lookup;
        EXPECT_EQ(pr->sflg.word, PR_T_LOGDELAY | PR_T_MAXTRIES | PR_T_LOGIN_TIMEOUT);
        EXPECT_EQ(pr->sfld.t_login_timeout, 60);
        EXPECT_EQ(pr->sfld.t_maxtries, 0);
    }
    ASSERT_EQ(setprtcent(), 0);
    EXPECT_EQ(pass().size(), 4u) << "the built-in entry serves every terminal";
}

TEST_F(TerminalControlTest, SequentialPassGivesEveryEntryThenNull) {
    EXPECT_EQ(pass(), (std::vector<std::string>{"tty1", "tty2", "tty3", "-"}));
    EXPECT_EQ(getprtcent(), nullptr);
    ASSERT_EQ(setprtcent(), 0);
    ASSERT_NE(getprtcent(), nullptr);
    struct pr_term *pr = getprtcent();
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.t_devname, "tty2");
    EXPECT_EQ(pr->sfld.t_maxtries, 5) << "every entry gets the first default entry";
    endprtcent();
    EXPECT_EQ(pass().size(), 4u);
}

TEST_F(TerminalControlTest, ReadersStopAtAnEntryThatCannotBeRead) {
    box.write(kTtys, "tty1:t_devname=tty1:chkent:\ntty2:t_devname=tty2:\ntty3:chkent:\n");
    EXPECT_EQ(pass(), (std::vector<std::string>{"tty1"}));
    EXPECT_EQ(getprtcent(), nullptr) << "the pass ended with the damaged entry";
    EXPECT_EQ(getprtcnam("tty2"), nullptr);
    EXPECT_NE(getprtcnam("tty3"), nullptr) << "a lookup passes over entries of other names";
    box.remove(kTtys);
    EXPECT_EQ(getprtcnam("tty1"), nullptr);
    EXPECT_EQ(getprtcent(), nullptr);
}

// ---------------------------------------------------------------------
// Updating

TEST_F(TerminalControlTest, PutReplacesTheEntryInPlaceAndKeepsEveryOtherText) {
    EXPECT_EQ(put("tty1", Terminal("tty1").uid(1001).logtime(200).failures(0)), 1);
    std::string want = kTerminals;
    size_t at = want.find("tty1:");
    want.replace(at, want.find("tty2|") - at,
                 std::string(kTty1Replaced) + "\t:t_failures#0:chkent:\n");
    expect_unchanged(kTtys, want);
    struct pr_term *pr = getprtcnam("tty1");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.t_uid, 1001);
}

TEST_F(TerminalControlTest, PutFindsTheEntryByItsDevnameField) {
    // The alias names the entry for readers; the update goes by t_devname.
    EXPECT_EQ(put("tty2", Terminal("tty2").label("back office")), 1);
    std::string text = box.read(kTtys);
    EXPECT_NE(text.find("\ntty2:t_devname=tty2:t_label=back office:chkent:\n# a terminal"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("console"), std::string::npos);
}

TEST_F(TerminalControlTest, PutAppendsANewTerminalAfterAllEntries) {
    EXPECT_EQ(put("tty9", Terminal("tty9").uid(0)), 1);
    expect_unchanged(kTtys, std::string(kTerminals) + "tty9:t_devname=tty9:t_uid=root:chkent:\n");
    box.write(kTtys, "tty1:t_devname=tty1:chkent:");
    EXPECT_EQ(put("tty9", Terminal("tty9")), 1);
    EXPECT_EQ(box.read(kTtys), "tty1:t_devname=tty1:chkent:\ntty9:t_devname=tty9:chkent:\n");
    box.remove(kTtys);
    EXPECT_EQ(put("tty9", Terminal("tty9")), 1);
    EXPECT_EQ(box.read(kTtys), "tty9:t_devname=tty9:chkent:\n");
}

TEST_F(TerminalControlTest, PutWithoutDevnameDeletesTheEntryAndKeepsTheRest) {
    EXPECT_EQ(put("tty1", Terminal(nullptr).uid(0)), 1);
    std::string want = kTerminals;
    size_t at = want.find("tty1:");
    want.erase(at, want.find("tty2|") - at);
    expect_unchanged(kTtys, want);
    EXPECT_EQ(getprtcnam("tty1"), nullptr);
    EXPECT_EQ(put("tty7", Terminal(nullptr)), 1) << "nothing to delete";
    expect_unchanged(kTtys, want);
}

TEST_F(TerminalControlTest, PutOfTheReadersOwnRecordWritesThatRecord) {
    struct pr_term *pr = getprtcnam("tty1");
    ASSERT_NE(pr, nullptr);
    pr->ufld.t_failures = 4;
    EXPECT_EQ(putprtcnam("tty1", pr), 1);
    EXPECT_NE(box.read(kTtys).find("tty1:t_devname=tty1:t_uid=alice:t_logtime#100:\\\n"
                                   "\t:t_failures#4:chkent:\n"),
              std::string::npos);
}

TEST_F(TerminalControlTest, AUserIdWithoutANameFailsAndKeepsTheDatabase) {
    EXPECT_EQ(put("tty1", Terminal("tty1").uid(4242)), 0);
    expect_failed_update("tty1");
    EXPECT_EQ(put("tty9", Terminal("tty9").uid(4242)), 0);
    expect_failed_update("tty9");
}

TEST_F(TerminalControlTest, WhatTheFormatCannotHoldIsRefused) {
    EXPECT_EQ(put("tty1", Terminal("tty1").label("a:t_lock")), 0);
    expect_failed_update("tty1");
    EXPECT_EQ(put("tty1", Terminal("tty1").label("a\nroot:chkent")), 0);
    EXPECT_EQ(put("tty:1", Terminal("tty1")), 0);
    EXPECT_EQ(put("#tty1", Terminal("tty1")), 0);
    EXPECT_EQ(put("", Terminal("tty1")), 0);
    // Longer than t_devname holds: it could never be found to replace.
    EXPECT_EQ(put("ttyABCDEFGHI", Terminal("ttyABCDEFGH")), 0);
    expect_failed_update("ttyABCDEFGHI");
    EXPECT_EQ(put("ttyABCDEFGH", Terminal("ttyABCDEFGH")), 1);
    EXPECT_EQ(put("ttyABCDEFGH", Terminal("ttyABCDEFGH").failures(2)), 1);
    EXPECT_EQ(box.read(kTtys),
              std::string(kTerminals) + "ttyABCDEFGH:t_devname=ttyABCDEFGH:t_failures#2:chkent:\n");
}

TEST_F(TerminalControlTest, AnEntryThatCannotBeReadStopsTheUpdate) {
    const std::string damaged = std::string(kTerminals) + "tty5:t_devname=tty5:\n";
    box.write(kTtys, damaged);
    EXPECT_EQ(put("tty1", Terminal("tty1")), 0);
    expect_unchanged(kTtys, damaged);
}

TEST_F(TerminalControlTest, TheNewVersionTakesItsModeFromFileControl) {
    chmod(box.path(kTtys).c_str(), 0600);
    EXPECT_EQ(put("tty1", Terminal("tty1")), 1);
    struct stat st;
    ASSERT_EQ(stat(box.path(kTtys).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_gid, 21u);
    }
}

TEST_F(TerminalControlTest, WithoutAFileControlEntryNothingIsWritten) {
    box.write("/etc/auth/system/files", "/etc/passwd:f_mode#0644:f_type=r:chkent:\n");
    EXPECT_EQ(put("tty1", Terminal("tty1")), 0);
    expect_unchanged(kTtys, kTerminals);
}

TEST_F(TerminalControlTest, AStaleTransitionFileHoldsTheUpdateOff) {
    box.write(std::string(kTtys) + "-t", "half written\n");
    EXPECT_EQ(put("tty1", Terminal("tty1")), 0);
    EXPECT_GE(naps.count, 18u);
    EXPECT_EQ(box.read(kTtys), kTerminals);
    EXPECT_EQ(box.read(std::string(kTtys) + "-t"), "half written\n");
}

TEST_F(TerminalControlTest, AReaderSeesTheUpdatedFile) {
    ASSERT_NE(getprtcnam("tty1"), nullptr);
    EXPECT_EQ(put("tty1", Terminal("tty1").failures(7)), 1);
    struct pr_term *pr = getprtcnam("tty1");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.t_failures, 7);
    EXPECT_FALSE(PR_T_ISSET(pr->uflg, PR_T_UID));
}

}  // namespace
}  // namespace vant::test
