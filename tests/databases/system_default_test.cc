// The System Default database: the "default" entry mirrored into the
// /etc/default files.
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
constexpr const char *kOtherEntries = "# site entries\nother:d_name=other:u_maxlen#10:chkent:\n";

// A "default" entry under integrity with these user defaults, in weeks.
struct pr_default weekly(vant_time_t minchg, vant_time_t life, vant_time_t exp = 0) {
    struct pr_default d = {"default", 1, {}, {}, {}, {}};
    d.prd.u_minchg = minchg * kWeek;
    d.prd.u_life = life * kWeek;
    d.prd.u_exp = exp * kWeek;
    for (uint32_t bit : {PR_U_MINCHG, PR_U_LIFE, PR_U_INTEGRITY, exp != 0 ? PR_U_EXP : 0u})
        PR_SET(d.prg, bit);
    return d;
}

class SystemDefaultTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        box.write(kEtcPasswd, "MINWEEKS=3\n");
        box.write(kEtcLogin, "IDLEWEEKS=2\n");
    }
    void database(const std::string &fields) const {
        box.write(kSystemDefault,
                  "default:d_name=default:" + fields + ":chkent:\n" + kOtherEntries);
    }
};

TEST_F(SystemDefaultTest, TheDefaultEntryIsMirroredIntoTheEtcFiles) {
    database("u_maxlen#8");
    box.write(kEtcPasswd, "# password defaults\nMINWEEKS=3\n");
    box.remove(kEtcLogin);
    struct pr_default d = weekly(2, 4, 8);
    PR_SET(d.prg, PR_U_NULLPW);
    ASSERT_EQ(putprdfnam("default", &d), 1);
    EXPECT_EQ(box.read(kEtcPasswd), "# password defaults\nMINWEEKS=2\nMAXWEEKS=8\n");
    EXPECT_EQ(box.read(kEtcLogin), "IDLEWEEKS=4\nPASSREQ=YES\n");
    EXPECT_EQ(getprdfnam("default")->prd.u_minchg, 2 * kWeek);
    EXPECT_STREQ(getprdfnam("other")->d_name, "other");

    // Deleting the entry takes its values out of the files.
    box.write(kEtcLogin, "IDLEWEEKS=4\nTIMEOUT=60\nPASSREQ=YES\n");
    d.d_name_present = 0;
    ASSERT_EQ(putprdfnam("default", &d), 1);
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
    while (others.size() < 6000)
        others += "SETTING" + std::to_string(others.size()) + "=value\n";
    database("u_maxlen#8");
    const std::string db = box.read(kSystemDefault);
    CrashRun run;
    run.prepare = [&] {
        box.write(kSystemDefault, db);
        box.write(kEtcPasswd, others + "MINWEEKS=3\n");
        box.write(kEtcLogin, others);
    };
    run.update = [] {
        struct pr_default d = weekly(1, 4);
        putprdfnam("default", &d);
    };
    run.prepare();
    run_child(run.update);  // the database as the writer re-encodes it
    std::string new_db = box.read(kSystemDefault);
    std::vector<Kill> kills =
        kill_at_every_step(box,
                           {{kEtcPasswd, others + "MINWEEKS=3\n", others + "MINWEEKS=1\n"},
                            {kEtcLogin, others, others + "IDLEWEEKS=4\n"},
                            {kSystemDefault, db, new_db}},
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

}  // namespace
}  // namespace vant::test
