// The System Default database: entries with the /etc/default values merged
// in by the mirroring settings, the "default" entry mirrored into the
// /etc/default files, and the integrity requirement.
#include <sys/time.h>

#include <string>
#include <vector>

#include "authdb/update.h"
#include "databases/databases_fixture.h"
#include "support/child.h"
#include "support/crash.h"

namespace vant::test {
namespace {

constexpr vant_time_t kWeek = 604800;
constexpr const char *kEtcPasswd = "/etc/default/passwd";
constexpr const char *kEtcLogin = "/etc/default/login";
constexpr const char *kOtherEntries =
    "# site entries\n"
    "other:d_name=other:u_maxlen#10:t_maxtries#5:chkent:\n"
    "anon:u_maxlen#3:chkent:\n";

// The user defaults of a record to write, field by field.
struct Defaults {
    struct pr_default r {};
    explicit Defaults(const char *name) {
        snprintf(r.d_name, sizeof r.d_name, "%s", name);
        r.d_name_present = 1;
    }
    Defaults &weeks(uint32_t field, vant_time_t pr_field::*at, vant_time_t w) {
        r.prd.*at = w * kWeek;
        return set(field);
    }
    Defaults &minchg(vant_time_t w) { return weeks(PR_U_MINCHG, &pr_field::u_minchg, w); }
    Defaults &set(uint32_t field) {
        PR_SET(r.prg, field);
        return *this;
    }
};

vant_time_t weeks(const struct pr_default *d, uint32_t field, vant_time_t pr_field::*seconds) {
    return PR_ISSET(d->prg, field) ? d->prd.*seconds / kWeek : -1;
}
vant_time_t minchg(const struct pr_default *d) {
    return weeks(d, PR_U_MINCHG, &pr_field::u_minchg);
}
vant_time_t life(const struct pr_default *d) {
    return weeks(d, PR_U_LIFE, &pr_field::u_life);
}

class SystemDefaultTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        box.write(kEtcPasswd, "MINWEEKS=3\n");
        box.write(kEtcLogin, "IDLEWEEKS=2\n");
    }
    void database(const std::string &fields, const std::string &rest = kOtherEntries) const {
        box.write(kDefaultDb,
                  fields.empty() ? rest : "default:d_name=default:" + fields + ":chkent:\n" + rest);
    }
    struct pr_default *first() const {
        EXPECT_EQ(setprdfent(), 0);
        return getprdfent();
    }
};

// A writer's lock left on /etc/default/passwd: /etc/default/login is still
// read, /etc/default/passwd is not. Override modes decide what the files may
// do; under OVERRIDE_ETC_FILES they replace every user default.
TEST_F(SystemDefaultTest, TheEtcValuesMergeByTheMirroringSettings) {
    struct Case {
        const char *fields;
        int mode;
        bool locked, found;
        vant_time_t minchg, life;  // weeks; -1 absent
    };
    constexpr const char *kDiffer = "u_minchg#604800:u_maxlen#8:u_integrity";
    for (const Case &c : {
             Case{"u_minchg#604800", OVERRIDE_NONE, false, true, 1, -1},
             Case{"u_minchg#604800:u_integrity@", OVERRIDE_NONE, false, true, 1, 2},
             Case{"u_minchg#604800:u_integrity@:u_tcbpw@", OVERRIDE_NONE, false, true, 3, 2},
             Case{kDiffer, OVERRIDE_NONE, false, false, 0, 0},
             Case{"u_minchg#1814400:u_life#1209600:u_integrity", OVERRIDE_NONE, false, true, 3, 2},
             Case{"u_integrity@", OVERRIDE_NONE, true, true, -1, 2},
             Case{"u_integrity@:u_tcbpw@", OVERRIDE_NONE, true, false, 0, 0},
             Case{"u_integrity", OVERRIDE_NONE, true, false, 0, 0},
             Case{kDiffer, OVERRIDE_PROTECTED_ONLY, false, true, 1, -1},
             Case{kDiffer, OVERRIDE_NO_INTEGRITY, false, true, 1, 2},
             Case{kDiffer, OVERRIDE_ETC_FILES, false, true, 3, 2},
         }) {
        SCOPED_TRACE(std::string(c.fields) + " mode " + std::to_string(c.mode) +
                     (c.locked ? " locked" : ""));
        database(c.fields + std::string(":t_login_timeout#60"));
        box.remove("/etc/default/passwd-t");
        if (c.locked) box.write("/etc/default/passwd-t", "");
        set_override_mode(c.mode);
        struct pr_default *d = first();
        ASSERT_EQ(d != nullptr, c.found);
        if (!c.found) {
            ASSERT_NE(getprdfnam("other"), nullptr) << "a refused default hides no other entry";
            continue;
        }
        EXPECT_EQ(minchg(d), c.minchg);
        EXPECT_EQ(life(d), c.life);
        EXPECT_EQ(PR_ISSET(d->prg, PR_U_MAXLEN),
                  c.fields == kDiffer && c.mode != OVERRIDE_ETC_FILES);
        EXPECT_EQ(d->tcd.t_login_timeout, 60) << "the terminal defaults stay";
        ASSERT_NE(d = getprdfent(), nullptr);  // other entries are never merged
        EXPECT_STREQ(d->d_name, "other");
        EXPECT_EQ(minchg(d), -1);
    }
    // Without a "default" entry the files make one up, last.
    database("");
    EXPECT_STREQ(first()->d_name, "other");
    EXPECT_EQ(getprdfent()->prd.u_maxlen, 3);
    struct pr_default *d = getprdfent();
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->d_name, "default");
    EXPECT_EQ(minchg(d), 3);
    EXPECT_EQ(getprdfent(), nullptr);
    set_override_mode(OVERRIDE_NONE);
    EXPECT_EQ(getprdfnam("default"), nullptr);
}

TEST_F(SystemDefaultTest, TheDefaultEntryIsMirroredIntoTheEtcFiles) {
    database("u_maxlen#8");
    box.write(kEtcPasswd, "# password defaults\nMINWEEKS=3\n");
    box.remove(kEtcLogin);
    Defaults d = Defaults("default")
                     .minchg(2)
                     .weeks(PR_U_EXP, &pr_field::u_exp, 8)
                     .weeks(PR_U_LIFE, &pr_field::u_life, 4)
                     .set(PR_U_NULLPW)
                     .set(PR_U_INTEGRITY);
    ASSERT_EQ(putprdfnam("default", &d.r), 1);
    EXPECT_EQ(box.read(kEtcPasswd), "# password defaults\nMINWEEKS=2\nMAXWEEKS=8\n");
    EXPECT_EQ(box.read(kEtcLogin), "IDLEWEEKS=4\nPASSREQ=YES\n");
    EXPECT_EQ(minchg(getprdfnam("default")), 2);
    EXPECT_STREQ(getprdfnam("other")->d_name, "other");

    // Nothing to change: the /etc files are left as they are. The record
    // may be the reader's own.
    struct timeval past[2] = {{time(nullptr) - 100, 0}, {time(nullptr) - 100, 0}};
    for (const char *f : {kDefaultDb, kEtcPasswd, kEtcLogin})
        ASSERT_EQ(utimes(box.path(f).c_str(), past), 0);  // a lookup now is newer
    Sandbox::Stamp passwd = box.stamp(kEtcPasswd), login = box.stamp(kEtcLogin);
    ASSERT_NE(first(), nullptr);
    ASSERT_EQ(putprdfnam("default", pr_default), 1);
    EXPECT_EQ(box.stamp(kEtcPasswd), passwd);
    EXPECT_EQ(box.stamp(kEtcLogin), login);

    // Deleting the entry takes its values out of the files.
    box.write(kEtcLogin, "IDLEWEEKS=4\nTIMEOUT=60\nPASSREQ=YES\n");
    d.r.d_name_present = 0;
    ASSERT_EQ(putprdfnam("default", &d.r), 1);
    EXPECT_EQ(box.read(kEtcPasswd), "# password defaults\n");
    EXPECT_EQ(box.read(kEtcLogin), "TIMEOUT=60\n");
    EXPECT_EQ(getprdfnam("default"), nullptr);
    EXPECT_NOTHING_LEFT_BEHIND(box);

    EXPECT_TRUE(audited().empty());
}

// The /etc files go into place first, while the database's new version is
// written; the database follows at its rename. A writer killed at any step
// leaves each file whole, old or new, in that order.
TEST_F(SystemDefaultTest, AWriterKilledAtAnyStepLeavesEachFileWholeAndTheFilesFirst) {
    std::string others;
    for (int i = 0; i < 300; ++i)
        others += "SETTING" + std::to_string(i) + "=value\n";
    database("u_maxlen#8");
    const std::string db = box.read(kDefaultDb);
    CrashRun run;
    run.prepare = [&] {
        box.write(kDefaultDb, db);
        box.write(kEtcPasswd, others + "MINWEEKS=3\n");
        box.write(kEtcLogin, others);
    };
    run.update = [] {
        Defaults d = Defaults("default").minchg(1).weeks(PR_U_LIFE, &pr_field::u_life, 4);
        putprdfnam("default", &d.set(PR_U_INTEGRITY).r);
    };
    run.prepare();
    run_child(run.update);  // the database as the writer re-encodes it
    std::string new_db = box.read(kDefaultDb);
    std::vector<Kill> kills =
        kill_at_every_step(box,
                           {{kEtcPasswd, others + "MINWEEKS=3\n", others + "MINWEEKS=1\n"},
                            {kEtcLogin, others, others + "IDLEWEEKS=4\n"},
                            {kDefaultDb, db, new_db}},
                           run);
    // The database's nine steps, with both /etc/default files replaced,
    // four steps each, while its contents are written.
    ASSERT_EQ(kills.size(), 17u);
    for (size_t i = 0; i < kills.size(); ++i) {
        const Kill &k = kills[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(!k.is_new[2] || (k.is_new[0] && k.is_new[1]));  // the files first
        for (size_t f = 0; f < k.is_new.size(); ++f) {  // each turns new at its own rename
            bool turned = k.is_new[f] && (i == 0 || !kills[i - 1].is_new[f]);
            EXPECT_TRUE(!turned || k.step == authdb::UpdateStep::renamed) << f;
        }
    }
}

// Whatever the /etc files say; a missing database is reported.
TEST_F(SystemDefaultTest, IntegrityRequirement) {
    for (auto [fields, expected] :
         {std::pair{"u_integrity", 1}, {"u_integrity@", 0}, {"u_maxlen#8", 255}}) {
        database(fields);
        EXPECT_EQ(integreq(), expected) << fields;
    }
    box.remove(kDefaultDb);
    EXPECT_EQ(integreq(), 1);
    EXPECT_EQ(audited(), (std::vector<std::vector<std::string>>{
                             {"18", "System Defaults database", "cannot be read"}}));
}

}  // namespace
}  // namespace vant::test
