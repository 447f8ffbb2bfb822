// The writers that mirror a protected entry into conventional files decide
// alike which side goes into place when one cannot be written; only the
// Protected Password writer counts an update whose other side gave way as
// done.
#include <string>
#include <tuple>

#include "databases/databases_fixture.h"

namespace vant::test {
namespace {

enum Regime { integrity, etc_wins, protected_wins };
enum Side { none = 0, entry_side = 1, etc_side = 2, both = 3 };

struct Row {
    Regime regime;
    Side fails;    // held off by a stale transition file
    Side changes;  // what goes into place
    Side audited;  // reported as failed; the side not changed of one changed gave way
};

constexpr Row kRows[] = {
    {integrity, none, both, none},
    {integrity, etc_side, none, etc_side},
    {integrity, entry_side, none, entry_side},
    {integrity, both, none, both},
    {etc_wins, none, both, none},
    {etc_wins, etc_side, none, both},
    {etc_wins, entry_side, etc_side, none},
    {etc_wins, both, none, both},
    {protected_wins, none, both, none},
    {protected_wins, etc_side, entry_side, none},
    {protected_wins, entry_side, none, both},
    {protected_wins, both, none, both},
};

class MirroredWriterTest : public DatabasesTest,
                           public ::testing::WithParamInterface<std::tuple<bool, Row>> {
  protected:
    const bool prpw = std::get<0>(GetParam());
    const Row &row = std::get<1>(GetParam());

    std::string lock(Side side) const {
        if (prpw) return side == entry_side ? prpw_path("alice") + "-t" : "/etc/shadow-t";
        return side == entry_side ? std::string(kSystemDefault) + "-t" : "/etc/default/login-t";
    }
    int put() {
        bool integrity = row.regime == Regime::integrity, authority = row.regime != etc_wins;
        if (prpw) {
            mirroring(integrity, authority);
            entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
            struct pr_passwd r = user_record("alice", 1000, "newpassword12");
            return putprpwnam("alice", &r);
        }
        struct pr_default d = {"default", 1, {}, {}, {}, {}};
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
    const bool one_side = row.changes == entry_side || row.changes == etc_side;
    for (Side side : {entry_side, etc_side})
        if ((row.fails & side) != 0) box.write(lock(side), "");
    EXPECT_EQ(put(), row.changes == both || (one_side && prpw) ? 1 : 0);
    for (Side side : {entry_side, etc_side}) {
        SCOPED_TRACE(side == entry_side ? "entry side" : "etc side");
        EXPECT_EQ(changed(side), (row.changes & side) != 0);
        bool gave_way = one_side && (row.changes & side) == 0;
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
