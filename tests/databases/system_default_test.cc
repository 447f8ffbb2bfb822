// Tests of the System Default database: reading entries with the
// /etc/default values merged in, the cached "default" lookup, updates with
// and without mirroring, and the integrity requirement.
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "mirror/etc_default_fixture.h"

namespace vant::test {
namespace {

// The "default" entry with mirroring on, the database authoritative.
constexpr const char *kDefaultEntry =
    "default:d_name=default:u_minchg#604800:u_maxlen#8:\\\n"
    "\t:u_integrity@:t_login_timeout#60:chkent:\n";
constexpr const char *kOtherEntries =
    "# site entries\n"
    "other:d_name=other:u_maxlen#10:t_maxtries#5:chkent:\n"
    "anon:u_maxlen#3:chkent:\n";

class SystemDefaultTest : public DefaultFilesTest {
  protected:
    void SetUp() override {
        DefaultFilesTest::SetUp();
        box.write(kDefaultPasswd, "MINWEEKS=3\n");
        box.write(kDefaultLogin, "IDLEWEEKS=2\n");
    }

    void database(const std::string &default_fields, const std::string &rest = kOtherEntries) {
        box.write(kDefaultDb, default_fields.empty() ? rest
                                                     : "default:d_name=default:" + default_fields +
                                                           ":chkent:\n" + rest);
    }

    // The first entry of a fresh pass.
    struct pr_default *first() {
        EXPECT_EQ(setprdfent(), 0);
        return getprdfent();
    }

    // Ages the database and both /etc/default files, so that a lookup
    // made now is newer than all of them.
    void age_files() {
        for (const char *f : {kDefaultDb, kDefaultPasswd, kDefaultLogin})
            move_time(f, -100);
    }
};

vant_time_t weeks_or_absent(const struct pr_default *d, uint32_t field,
                            vant_time_t pr_field::*seconds) {
    return PR_ISSET(d->prg, field) ? d->prd.*seconds / kWeek : -1;
}

vant_time_t minchg_weeks(const struct pr_default *d) {
    return weeks_or_absent(d, PR_U_MINCHG, &pr_field::u_minchg);
}

vant_time_t life_weeks(const struct pr_default *d) {
    return weeks_or_absent(d, PR_U_LIFE, &pr_field::u_life);
}

// A record to write, named or (for a deletion) not.
struct pr_default record(const char *name, const Defaults &d = Defaults()) {
    struct pr_default r {};
    if (name != nullptr) {
        strcpy(r.d_name, name);
        r.d_name_present = 1;
    }
    r.prd = d.f;
    r.prg = d.fl;
    return r;
}

// ---------------------------------------------------------------------
// Reading

TEST_F(SystemDefaultTest, APassGivesEveryEntryAsStoredWhileEtcIsIgnored) {
    database("u_minchg#604800:u_integrity@:u_tcbpw@");
    disable_etc_default();
    struct pr_default *d = first();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d, pr_default);
    EXPECT_STREQ(d->d_name, "default");
    EXPECT_EQ(minchg_weeks(d), 1);
    EXPECT_EQ(life_weeks(d), -1);
    ASSERT_NE(d = getprdfent(), nullptr);
    EXPECT_STREQ(d->d_name, "other");
    EXPECT_EQ(d->prd.u_maxlen, 10);
    EXPECT_TRUE(PR_T_ISSET(d->tcg, PR_T_MAXTRIES));
    EXPECT_EQ(d->tcd.t_maxtries, 5);
    ASSERT_NE(d = getprdfent(), nullptr);
    EXPECT_EQ(d->d_name_present, 0);
    EXPECT_EQ(d->prd.u_maxlen, 3);
    EXPECT_EQ(getprdfent(), nullptr);
}

TEST_F(SystemDefaultTest, TheEtcValuesMergeByTheMirroringSettings) {
    struct Case {
        const char *fields;
        bool found;
        vant_time_t minchg, life;  // weeks; -1 absent
    };
    for (const Case &c : {
             Case{"u_minchg#604800", true, 1, -1},                             // mirroring off
             Case{"u_minchg#604800:u_integrity@", true, 1, 2},                 // fill in
             Case{"u_minchg#604800:u_integrity@:u_tcbpw@", true, 3, 2},        // /etc wins
             Case{"u_minchg#604800:u_integrity", false, 0, 0},                 // differ
             Case{"u_minchg#1814400:u_life#1209600:u_integrity", true, 3, 2},  // agree
         }) {
        SCOPED_TRACE(c.fields);
        database(c.fields);
        struct pr_default *d = first();
        ASSERT_EQ(d != nullptr, c.found);
        if (!c.found) {
            // A refused "default" hides no other entry.
            ASSERT_NE(getprdfnam("other"), nullptr);
            continue;
        }
        EXPECT_EQ(minchg_weeks(d), c.minchg);
        EXPECT_EQ(life_weeks(d), c.life);
        ASSERT_NE(d = getprdfent(), nullptr);  // other entries are never merged
        EXPECT_STREQ(d->d_name, "other");
        EXPECT_EQ(minchg_weeks(d), -1);
    }
}

TEST_F(SystemDefaultTest, OverrideModesDecideWhatTheFilesMayDo) {
    database("u_minchg#604800:u_maxlen#8:u_integrity:t_login_timeout#60");
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    ASSERT_NE(first(), nullptr);
    EXPECT_EQ(minchg_weeks(pr_default), 1);

    set_override_mode(OVERRIDE_NO_INTEGRITY);  // reconciled, not refused
    ASSERT_NE(first(), nullptr);
    EXPECT_EQ(minchg_weeks(pr_default), 1);
    EXPECT_EQ(life_weeks(pr_default), 2);

    // The files replace every user default; the terminal defaults stay.
    set_override_mode(OVERRIDE_ETC_FILES);
    ASSERT_NE(first(), nullptr);
    EXPECT_EQ(minchg_weeks(pr_default), 3);
    EXPECT_EQ(life_weeks(pr_default), 2);
    EXPECT_FALSE(PR_ISSET(pr_default->prg, PR_U_MAXLEN));
    EXPECT_FALSE(PR_ISSET(pr_default->prg, PR_U_INTEGRITY));
    EXPECT_EQ(pr_default->tcd.t_login_timeout, 60);
}

TEST_F(SystemDefaultTest, WithTheEtcFilesInChargeADefaultEntryIsMadeUpAtTheEnd) {
    database("");
    set_override_mode(OVERRIDE_ETC_FILES);
    EXPECT_STREQ(first()->d_name, "other");
    EXPECT_EQ(getprdfent()->prd.u_maxlen, 3);
    struct pr_default *d = getprdfent();
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->d_name, "default");
    EXPECT_EQ(minchg_weeks(d), 3);
    EXPECT_EQ(getprdfent(), nullptr);
    ASSERT_NE(getprdfnam("default"), nullptr);

    set_override_mode(OVERRIDE_NONE);
    EXPECT_EQ(getprdfnam("default"), nullptr);
}

// A writer's lock left on /etc/default/passwd: /etc/default/login is read,
// /etc/default/passwd is not.
TEST_F(SystemDefaultTest, ALockedEtcFileRefusesTheEntryUnlessTheDatabaseLeads) {
    box.write("/etc/default/passwd-t", "");
    database("u_integrity@");
    ASSERT_NE(first(), nullptr);
    EXPECT_EQ(life_weeks(pr_default), 2);
    EXPECT_EQ(minchg_weeks(pr_default), -1);
    database("u_integrity@:u_tcbpw@");
    EXPECT_EQ(first(), nullptr);
    database("u_integrity");
    EXPECT_EQ(first(), nullptr);
}

// ---------------------------------------------------------------------
// The cached lookup of "default"

TEST_F(SystemDefaultTest, TheCacheAnswersUntilAFileIsNewerThanTheLookup) {
    database("u_maxlen#8:u_integrity@");
    age_files();
    ASSERT_EQ(getprdfnam("default"), pr_default);
    struct pr_default *cached = getprdfnam("default");
    ASSERT_NE(cached, nullptr);
    EXPECT_NE(cached, pr_default);
    EXPECT_EQ(cached->prd.u_maxlen, 8);
    EXPECT_EQ(life_weeks(cached), 2);

    // A change the times do not show is not seen.
    database("u_maxlen#9:u_integrity@");
    move_time(kDefaultDb, -100);
    EXPECT_EQ(getprdfnam("default")->prd.u_maxlen, 8);
    move_time(kDefaultDb, 0);
    EXPECT_EQ(getprdfnam("default")->prd.u_maxlen, 9);
    EXPECT_EQ(getprdfnam("default")->prd.u_maxlen, 9);

    // Within the second of the lookup, a changed file is read again.
    box.write(kDefaultLogin, "IDLEWEEKS=7\n");
    EXPECT_EQ(life_weeks(getprdfnam("default")), 7);
    box.write(kDefaultLogin, "IDLEWEEKS=5\n");
    EXPECT_EQ(life_weeks(getprdfnam("default")), 5);
}

TEST_F(SystemDefaultTest, TheCacheKeepsMergedAndUnmergedCopiesApart) {
    database("u_integrity@");
    age_files();
    EXPECT_EQ(life_weeks(getprdfnam("default")), 2);
    disable_etc_default();
    EXPECT_EQ(life_weeks(getprdfnam("default")), -1);
    enable_etc_default();
    EXPECT_EQ(life_weeks(getprdfnam("default")), 2);
    disable_etc_default();
    struct pr_default *d = getprdfnam("default");
    EXPECT_NE(d, pr_default);  // the unmerged copy
    EXPECT_EQ(life_weeks(d), -1);
    enable_etc_default();
    EXPECT_EQ(life_weeks(getprdfnam("default")), 2);
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    EXPECT_EQ(life_weeks(getprdfnam("default")), -1);
    EXPECT_STREQ(getprdfnam("other")->d_name, "other");
    EXPECT_EQ(getprdfnam("nobody"), nullptr);
}

// ---------------------------------------------------------------------
// Updates

TEST_F(SystemDefaultTest, EntriesAreReplacedAddedAndDeletedWithoutMirroring) {
    database("u_maxlen#8");
    struct pr_default other = record("other", Defaults().maxlen(12));
    ASSERT_EQ(putprdfnam("other", &other), 1);
    // An entry without a name is written with an empty one.
    EXPECT_EQ(box.read(kDefaultDb),
              "default:\\\n\t:d_name=default:\\\n\t:u_maxlen#8:\\\n\t:\\\n\t:chkent:\n"
              "other:\\\n\t:d_name=other:\\\n\t:u_maxlen#12:\\\n\t:\\\n\t:chkent:\n"
              ":\\\n\t:u_maxlen#3:\\\n\t:\\\n\t:chkent:\n");

    struct pr_default third = record("third", Defaults().maxlen(4));
    third.tcd.t_maxtries = 9;
    PR_T_SET(third.tcg, PR_T_MAXTRIES);
    ASSERT_EQ(putprdfnam("third", &third), 1);
    struct pr_default *d = getprdfnam("third");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->prd.u_maxlen, 4);
    EXPECT_EQ(d->tcd.t_maxtries, 9);

    struct pr_default gone = record(nullptr);
    ASSERT_EQ(putprdfnam("other", &gone), 1);
    EXPECT_EQ(getprdfnam("other"), nullptr);
    EXPECT_NE(getprdfnam("third"), nullptr);

    move_time(kDefaultDb, -100);
    Stamp before = stamp(kDefaultDb);
    EXPECT_EQ(putprdfnam("nobody", &gone), 1);
    EXPECT_EQ(stamp(kDefaultDb), before);
    EXPECT_FALSE(box.exists("/etc/auth/system/default-t"));
    EXPECT_EQ(box.read(kDefaultPasswd), "MINWEEKS=3\n");
    EXPECT_TRUE(audited().empty());
}

TEST_F(SystemDefaultTest, TheDefaultEntryIsMirroredIntoTheEtcFiles) {
    database("u_maxlen#8");
    box.write(kDefaultPasswd, "# password defaults\nMINWEEKS=3\n");
    box.remove(kDefaultLogin);
    Defaults fields =
        Defaults().minchg(2 * kWeek).exp(8 * kWeek).life(4 * kWeek).nullpw(0).integrity(0);
    struct pr_default d = record("default", fields);
    ASSERT_EQ(putprdfnam("default", &d), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "# password defaults\nMINWEEKS=2\nMAXWEEKS=8\n");
    EXPECT_EQ(box.read(kDefaultLogin), "IDLEWEEKS=4\nPASSREQ=YES\n");
    EXPECT_EQ(minchg_weeks(getprdfnam("default")), 2);
    EXPECT_STREQ(getprdfnam("other")->d_name, "other");

    // Nothing to change: the /etc files are left as they are. The record
    // may be the reader's own.
    age_files();
    Stamp passwd = stamp(kDefaultPasswd), login = stamp(kDefaultLogin);
    ASSERT_NE(first(), nullptr);
    ASSERT_EQ(putprdfnam("default", pr_default), 1);
    EXPECT_EQ(stamp(kDefaultPasswd), passwd);
    EXPECT_EQ(stamp(kDefaultLogin), login);

    // Only the database, when asked.
    set_write_mode(WRITE_PROTECTED_ONLY);
    d = record("default", Defaults(fields).minchg(5 * kWeek));
    ASSERT_EQ(putprdfnam("default", &d), 1);
    EXPECT_EQ(stamp(kDefaultPasswd), passwd);
    set_write_mode(WRITE_MIRROR);

    box.write(kDefaultLogin, "IDLEWEEKS=4\nTIMEOUT=60\nPASSREQ=YES\n");
    struct pr_default gone = record(nullptr, fields);
    ASSERT_EQ(putprdfnam("default", &gone), 1);
    EXPECT_EQ(box.read(kDefaultPasswd), "# password defaults\n");
    EXPECT_EQ(box.read(kDefaultLogin), "TIMEOUT=60\n");
    EXPECT_EQ(getprdfnam("default"), nullptr);
    EXPECT_FALSE(box.exists("/etc/default/passwd-t") || box.exists("/etc/default/login-t"));
}

// A stale lock on /etc/default/login keeps the /etc half from being written.
TEST_F(SystemDefaultTest, AFailedHalfIsReportedAndDecidesTheOtherByTheSettings) {
    const std::vector<std::string> etc_failed = {"18", "/etc/default files", "cannot update"};
    database("u_maxlen#8");
    box.write("/etc/default/login-t", "");
    move_time(kDefaultDb, -100);
    Stamp db = stamp(kDefaultDb);

    // Integrity on: the database waits for the /etc files.
    struct pr_default d = record("default", Defaults().minchg(kWeek).integrity(1));
    EXPECT_EQ(putprdfnam("default", &d), 0);
    EXPECT_EQ(stamp(kDefaultDb), db);
    ASSERT_FALSE(audited().empty());
    EXPECT_EQ(audited().back(), etc_failed);
    for (const auto &r : audited())
        EXPECT_NE(r.back(), "cannot update entry");

    // The database leading: it is written, but the update is not complete.
    d = record("default", Defaults().minchg(kWeek).integrity(0));
    EXPECT_EQ(putprdfnam("default", &d), 0);
    disable_etc_default();
    EXPECT_EQ(minchg_weeks(getprdfnam("default")), 1);
    enable_etc_default();
    EXPECT_EQ(audited().back(), etc_failed);
    EXPECT_EQ(box.read(kDefaultPasswd), "MINWEEKS=3\n");

    // The files leading, and the database cannot be written: the files are.
    box.remove("/etc/default/login-t");
    box.write("/etc/auth/system/files",
              "/etc/default/*:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n");
    d = record("default", Defaults().minchg(6 * kWeek).integrity(0).tcbpw(0));
    EXPECT_EQ(putprdfnam("default", &d), 0);
    EXPECT_EQ(box.read(kDefaultPasswd), "MINWEEKS=6\n");
    EXPECT_EQ(audited().back(), (std::vector<std::string>{"18", "default", "cannot update entry"}));
}

TEST_F(SystemDefaultTest, ADamagedEntryOrAnUnstorableNameLeavesTheDatabaseAlone) {
    std::string text = std::string(kDefaultEntry) + "broken:u_maxlen#3:\n" + kOtherEntries;
    box.write(kDefaultDb, text);
    struct pr_default d = record("other", Defaults().maxlen(12));
    EXPECT_EQ(putprdfnam("other", &d), 0);
    EXPECT_EQ(box.read(kDefaultDb), text);
    EXPECT_FALSE(box.exists("/etc/auth/system/default-t"));

    database("u_maxlen#8");
    text = box.read(kDefaultDb);
    d = record("x:u_lock", Defaults().maxlen(12));
    EXPECT_EQ(putprdfnam("x:u_lock", &d), 0);
    d = record("x", Defaults().maxlen(12));
    EXPECT_EQ(putprdfnam("x\nevil:chkent:", &d), 0);
    EXPECT_EQ(putprdfnam(nullptr, &d), 0);
    EXPECT_EQ(putprdfnam("x", nullptr), 0);
    EXPECT_EQ(box.read(kDefaultDb), text);
}

// ---------------------------------------------------------------------
// The integrity requirement and the built-in entry

TEST_F(SystemDefaultTest, IntegrityRequirement) {
    for (auto [fields, expected] : {std::pair{"u_integrity", 1}, std::pair{"u_integrity@", 0},
                                    std::pair{"u_maxlen#8", 255}}) {
        SCOPED_TRACE(fields);
        database(fields);
        // Integrity on with differing /etc files must not matter here.
        EXPECT_EQ(integreq(), expected);
    }
    EXPECT_TRUE(audited().empty());
    disable_etc_default();
    box.remove(kDefaultDb);
    EXPECT_EQ(integreq(), 1);
    EXPECT_EQ(audited(), (std::vector<std::vector<std::string>>{
                             {"18", "System Defaults database", "cannot be read"}}));
    database("u_integrity@");
    EXPECT_EQ(life_weeks(getprdfnam("default")), -1);  // still ignored, as the caller asked
}

TEST_F(SystemDefaultTest, TheBuiltInEntryStandsInWhenTheProtectedFilesAreOff) {
    box.remove("/etc/auth/system/files");
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    struct pr_default *d = getprdfnam("default");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->prd.u_maxlen, 8);
    EXPECT_EQ(d->tcd.t_login_timeout, 60);
    EXPECT_TRUE(PR_ISSET(d->prg, PR_U_INTEGRITY));
    EXPECT_EQ(minchg_weeks(d), 3);  // u_tcbpw@: the /etc files lead
    // Every full lookup is a new pass, which serves the entry again.
    disable_etc_default();
    ASSERT_NE(d = getprdfnam("default"), nullptr);
    EXPECT_EQ(minchg_weeks(d), 0);
    EXPECT_EQ(integreq(), 0);
}

// ---------------------------------------------------------------------
// Reliability

// Whatever moment a writer is killed at, each /etc/default file holds one
// complete text: the one before or the one after.
TEST_F(SystemDefaultTest, AKilledWriterNeverLeavesAPartialEtcFile) {
    std::string others;
    for (int i = 0; i < 300; ++i)
        others += "SETTING" + std::to_string(i) + "=value\n";
    box.write(kDefaultPasswd, others + "MINWEEKS=3\n");
    box.write(kDefaultLogin, others);
    database("u_maxlen#8");
    struct pr_default versions[2] = {
        record("default",
               Defaults().minchg(kWeek).exp(4 * kWeek).life(2 * kWeek).nullpw(0).integrity(0)),
        record("default",
               Defaults().minchg(2 * kWeek).exp(8 * kWeek).life(3 * kWeek).nullpw(1).integrity(0))};
    std::set<std::string> passwd, login;
    for (struct pr_default &v : versions) {
        ASSERT_EQ(putprdfnam("default", &v), 1);
        passwd.insert(box.read(kDefaultPasswd));
        login.insert(box.read(kDefaultLogin));
    }
    ASSERT_EQ(passwd.size(), 2u);
    ASSERT_EQ(login.size(), 2u);

    srand(static_cast<unsigned>(getpid()));
    for (int round = 0; round < 150; ++round) {
        pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0)
            for (int i = 0;; ++i)
                putprdfnam("default", &versions[i % 2]);
        usleep(static_cast<useconds_t>(rand() % 4000));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        ASSERT_EQ(passwd.count(box.read(kDefaultPasswd)), 1u) << "round " << round;
        ASSERT_EQ(login.count(box.read(kDefaultLogin)), 1u) << "round " << round;
        // What a dead writer leaves behind: its lock and transition files.
        std::vector<std::filesystem::path> left;
        for (const auto &e : std::filesystem::directory_iterator(box.path("/etc/default")))
            if (e.path().filename() != "passwd" && e.path().filename() != "login")
                left.push_back(e.path());
        for (const auto &p : left)
            std::filesystem::remove(p);
        box.remove("/etc/auth/system/default-t");
    }
}

}  // namespace
}  // namespace vant::test
