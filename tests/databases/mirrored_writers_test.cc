// The two writers that mirror a protected entry into conventional files
// (the Protected Password entry into /etc/passwd and /etc/shadow, the
// System Default "default" entry into the /etc/default files) decide alike
// which side goes into place when one of them cannot be written. They
// differ only in what they report when one side gave way to the other: the
// Protected Password writer counts that update as done, the System Default
// writer does not.
#include <string>
#include <tuple>

#include "databases/databases_fixture.h"

namespace vant::test {
namespace {

enum Regime { integrity, etc_wins, protected_wins };
enum Side { none = 0, entry_side = 1, etc_side = 2, both = 3 };

struct Row {
    Regime regime;
    Side fails;     // held off by a stale transition file
    Side changes;   // what goes into place
    bool gave_way;  // the side not changed gave way to the one that leads
    Side audited;   // the sides reported as failed (a side that gave way aside)
};

constexpr Row kRows[] = {
    {integrity, none, both, false, none},
    {integrity, etc_side, none, false, etc_side},
    {integrity, entry_side, none, false, entry_side},
    {integrity, both, none, false, both},
    {etc_wins, none, both, false, none},
    {etc_wins, etc_side, none, false, both},
    {etc_wins, entry_side, etc_side, true, none},
    {etc_wins, both, none, false, both},
    {protected_wins, none, both, false, none},
    {protected_wins, etc_side, entry_side, true, none},
    {protected_wins, entry_side, none, false, both},
    {protected_wins, both, none, false, both},
};

class MirroredWriterTest : public DatabasesTest,
                           public ::testing::WithParamInterface<std::tuple<bool, Row>> {
  protected:
    const bool prpw = std::get<0>(GetParam());
    const Row &row = std::get<1>(GetParam());

    // The lock a competing writer of each side holds.
    std::string lock(Side side) const {
        if (prpw) return side == entry_side ? prpw_path("alice") + "-t" : "/etc/shadow-t";
        return side == entry_side ? std::string(kSystemDefault) + "-t" : "/etc/default/login-t";
    }
    int put() {
        bool integrity = row.regime == Regime::integrity, authority = row.regime != etc_wins;
        if (prpw) {
            mirroring(integrity, authority);
            entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
            Record r = Record().name("alice").id(1000).pwd("newpassword12");
            return putprpwnam("alice", &r.pr);
        }
        struct pr_default d {};
        strcpy(d.d_name, "default");
        d.d_name_present = 1;
        d.prd.u_minchg = 604800;
        d.prd.u_integrity = integrity;
        d.prd.u_tcbpw = authority;
        for (uint32_t bit : {PR_U_MINCHG, PR_U_INTEGRITY, PR_U_TCBPW})
            PR_SET(d.prg, bit);
        return putprdfnam("default", &d);
    }
    bool changed(Side side) const {
        if (side == entry_side)
            return box.read(prpw ? prpw_path("alice") : kSystemDefault)
                       .find(prpw ? "newpassword12" : "u_minchg#604800") != std::string::npos;
        return prpw ? shadow_password("alice") == "newpassword12"
                    : box.read("/etc/default/passwd") == "MINWEEKS=1\n";
    }
    bool audited(Side side) const {
        if (prpw) return DatabasesTest::audited("alice", side == entry_side ? 14 : 12);
        return DatabasesTest::audited(side == entry_side ? "default" : "/etc/default files", 18);
    }
};

TEST_P(MirroredWriterTest, TheLeadingSideDecides) {
    for (Side side : {entry_side, etc_side})
        if ((row.fails & side) != 0) box.write(lock(side), "");
    EXPECT_EQ(put(), row.changes == both || (row.gave_way && prpw) ? 1 : 0);
    for (Side side : {entry_side, etc_side}) {
        SCOPED_TRACE(side == entry_side ? "entry side" : "etc side");
        EXPECT_EQ(changed(side), (row.changes & side) != 0);
        bool gave_way = row.gave_way && (row.changes & side) == 0;
        EXPECT_EQ(audited(side), (row.audited & side) != 0 || (gave_way && !prpw));
        EXPECT_EQ(box.exists(lock(side)), (row.fails & side) != 0) << "the other's lock";
    }
    for (const std::string &left : left_behind(box))
        EXPECT_TRUE(left == lock(entry_side) || left == lock(etc_side)) << left;
}

std::string row_name(const ::testing::TestParamInfo<std::tuple<bool, Row>> &info) {
    const Row &r = std::get<1>(info.param);
    const char *regimes[] = {"Integrity", "EtcWins", "ProtectedWins"};
    const char *sides[] = {"None", "Entry", "Etc", "Both"};
    return std::string(std::get<0>(info.param) ? "Prpw" : "Default") + regimes[r.regime] +
           "Failing" + sides[r.fails];
}

INSTANTIATE_TEST_SUITE_P(Rows, MirroredWriterTest,
                         ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kRows)),
                         row_name);

}  // namespace
}  // namespace vant::test
