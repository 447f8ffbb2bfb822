// Tests of the reconciliation of a user's protected entry (P) with the
// /etc view (E), rule by rule and field by field.
#include <string.h>

#include <tuple>

#include "mirror/etc_passwd_fixture.h"
#include "mirror/mirror_rule.h"

namespace vant::test {
namespace {

constexpr int kIntegrity = 1, kNoIntegrity = 0;
constexpr int kEtcWins = 0, kFillIn = 1;

enum Units { kWeeks = 0, kDays = 1 };

class ValidateTest : public ::testing::Test {
  protected:
    User p, e;
    int validate(int integrity, int authority, Units units) {
        mirror::shadow_exists = units;
        return mirror::validate_passwd_fields(integrity, authority, &p.f, &p.fl, &e.f, &e.fl);
    }
    static User alice() {
        return User().name("alice").id(1000).lock(0).pwd("abcdefghij").succhg(19000 * kDay);
    }
};

// ---------------------------------------------------------------------
// Integrity on: every difference fails

TEST_F(ValidateTest, IntegrityAcceptsAgreeingViews) {
    p = alice().minchg(kWeek).exp(10 * kWeek).suclog(500);
    e = alice().pwd("abcdefgh").minchg(kWeek).exp(10 * kWeek).suclog(900);
    User before = p;
    EXPECT_EQ(validate(kIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_EQ(memcmp(&p, &before, sizeof p), 0);  // nothing changes, not even the last login
}

TEST_F(ValidateTest, IntegrityFailsOnAnyDifference) {
    struct Case {
        const char *what;
        void (*change)(User &p, User &e);
        Units units = kWeeks;
    };
    const Case cases[] = {
        {"other name", [](User &, User &e) { e.name("alicia"); }},
        {"name only in P", [](User &, User &e) { PR_CLR(e.fl, PR_U_NAME); }},
        {"other id", [](User &, User &e) { e.id(1001); }},
        {"id only in E", [](User &p, User &) { PR_CLR(p.fl, PR_U_ID); }},
        {"other lock", [](User &, User &e) { e.lock(1); }},
        {"lock only in P", [](User &, User &e) { PR_CLR(e.fl, PR_U_LOCK); }},
        {"retired only in E", [](User &, User &e) { e.retired(); }},
        {"retired only in P", [](User &p, User &) { p.retired(); }},
        {"eighth character differs", [](User &, User &e) { e.pwd("abcdefgX"); }},
        {"E password longer", [](User &, User &e) { e.pwd("abcdefghijk"); }},
        {"password only in P", [](User &, User &e) { PR_CLR(e.fl, PR_U_PWD); }},
        {"other week of change", [](User &, User &e) { e.succhg(19007 * kDay); }},
        {"other day of change", [](User &, User &e) { e.succhg(19001 * kDay); }, kDays},
        {"change only in P", [](User &, User &e) { PR_CLR(e.fl, PR_U_SUCCHG); }},
        {"minimum only in P", [](User &p, User &) { p.minchg(kWeek); }},
        {"other minimum", [](User &p, User &e) { p.minchg(kWeek), e.minchg(2 * kWeek); }},
        {"minimum 0 only in E, days", [](User &, User &e) { e.minchg(0); }, kDays},
        {"maximum only in E", [](User &, User &e) { e.exp(kWeek); }},
        {"maximum only in P", [](User &p, User &) { p.exp(kWeek); }},
    };
    for (const Case &c : cases) {
        p = alice();
        e = alice().pwd("abcdefgh");
        c.change(p, e);
        EXPECT_EQ(validate(kIntegrity, kEtcWins, c.units), -1) << c.what;
    }
}

TEST_F(ValidateTest, IntegrityComparesInTheUnitsOfTheFilesInUse) {
    // 10 days round to 1 week, and to 10 days.
    p = alice().minchg(10 * kDay).exp(100 * kDay);
    e = alice().minchg(kWeek + 3 * kDay).exp(14 * kWeek + kDay);
    EXPECT_EQ(validate(kIntegrity, kFillIn, kWeeks), 1);
    e = alice().minchg(10 * kDay).exp(100 * kDay + 4000);
    EXPECT_EQ(validate(kIntegrity, kFillIn, kDays), 1);
    e = alice().minchg(11 * kDay).exp(100 * kDay);
    EXPECT_EQ(validate(kIntegrity, kFillIn, kDays), -1);

    // A zero in the aging characters means "not set".
    p = alice();
    e = alice().minchg(0).exp(0);
    EXPECT_EQ(validate(kIntegrity, kFillIn, kWeeks), 1);

    // A retired account's password is not compared.
    p = alice().retired();
    e = alice().retired().pwd("zz");
    EXPECT_EQ(validate(kIntegrity, kFillIn, kWeeks), 1);
}

// ---------------------------------------------------------------------
// Integrity off, authority 0: the /etc files win

TEST_F(ValidateTest, EtcFilesReplaceNameIdLockAndType) {
    p = alice().retired();
    e = User().name("alicia").id(1001).lock(1);
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_STREQ(p.f.u_name, "alicia");
    EXPECT_EQ(p.f.u_id, 1001);
    EXPECT_EQ(p.f.u_lock, 1);
    EXPECT_FALSE(p.has(PR_U_TYPE));  // no longer retired
    EXPECT_EQ(p.f.u_type, 0u);

    p = alice().type(1u << 5);
    e = User().retired();
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_EQ(p.f.u_type, 1u << 6);
    EXPECT_STREQ(p.f.u_name, "alice");  // E has none: P keeps its own
    EXPECT_EQ(p.f.u_id, 1000);

    p = alice().type(1u << 5);
    e = User();
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_EQ(p.f.u_type, 1u << 5);
}

TEST_F(ValidateTest, EtcFilesReplaceAPasswordUnlessTheyHoldItsBeginning) {
    p = alice();
    e = User().pwd("abcdefgh");
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_STREQ(p.f.u_pwd, "abcdefghij");
    EXPECT_TRUE(p.has(PR_U_PWD));

    e = User().pwd("zyxwvuts");
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_STREQ(p.f.u_pwd, "zyxwvuts");

    e = User();  // no password in the files: none in P either
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_FALSE(p.has(PR_U_PWD));
}

TEST_F(ValidateTest, EtcFilesReplaceTimesThatDifferInTheirUnits) {
    p = alice().succhg(19000 * kDay + 999).minchg(10 * kDay).exp(20 * kDay).suclog(700);
    e = User().succhg(19000 * kDay).minchg(kWeek).exp(4 * kWeek).suclog(500);
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_EQ(p.f.u_succhg, 19000 * kDay + 999);  // same week: P keeps its own
    EXPECT_EQ(p.f.u_minchg, 10 * kDay);           // rounds to 1 week
    EXPECT_EQ(p.f.u_exp, 4 * kWeek);              // 3 weeks against 4
    EXPECT_EQ(p.f.u_suclog, 700);                 // the later login

    e = User().succhg(19001 * kDay).minchg(10 * kDay).exp(20 * kDay).suclog(800);
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_EQ(p.f.u_succhg, 19001 * kDay);
    EXPECT_EQ(p.f.u_minchg, 10 * kDay);
    EXPECT_EQ(p.f.u_exp, 20 * kDay);
    EXPECT_EQ(p.f.u_suclog, 800);

    p = alice();
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_TRUE(p.has(PR_U_MINCHG) && p.has(PR_U_EXP) && p.has(PR_U_SUCLOG));
    EXPECT_EQ(p.f.u_suclog, 800);
}

TEST_F(ValidateTest, EtcFilesZeroAgingWeeksClearTheValueButNotItsPresence) {
    p = alice().minchg(2 * kWeek);
    e = User().minchg(0).exp(0);
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kWeeks), 1);
    EXPECT_TRUE(p.has(PR_U_MINCHG));
    EXPECT_EQ(p.f.u_minchg, 0);
    EXPECT_FALSE(p.has(PR_U_EXP));

    // In days a zero is a value like any other.
    p = alice().minchg(2 * kDay);
    EXPECT_EQ(validate(kNoIntegrity, kEtcWins, kDays), 1);
    EXPECT_TRUE(p.has(PR_U_EXP));
    EXPECT_EQ(p.f.u_exp, 0);
    EXPECT_EQ(p.f.u_minchg, 0);
}

// ---------------------------------------------------------------------
// Integrity off, authority 1: the /etc files fill in

TEST_F(ValidateTest, FillInTakesOnlyWhatTheEntryLacks) {
    p = User().pwd("abc");
    e = alice().retired().minchg(0).exp(2 * kWeek).suclog(900).pwd("zzz");
    EXPECT_EQ(validate(kNoIntegrity, kFillIn, kWeeks), 1);
    EXPECT_STREQ(p.f.u_name, "alice");
    EXPECT_EQ(p.f.u_id, 1000);
    EXPECT_TRUE(p.has(PR_U_LOCK));
    EXPECT_EQ(p.f.u_type, 1u << 6);
    EXPECT_STREQ(p.f.u_pwd, "abc");
    EXPECT_EQ(p.f.u_succhg, 19000 * kDay);
    EXPECT_FALSE(p.has(PR_U_MINCHG));  // a zero in weeks is no value
    EXPECT_EQ(p.f.u_exp, 2 * kWeek);
    EXPECT_FALSE(p.has(PR_U_SUCLOG));

    p = User();
    EXPECT_EQ(validate(kNoIntegrity, kFillIn, kDays), 1);
    EXPECT_TRUE(p.has(PR_U_MINCHG));
    EXPECT_FALSE(p.has(PR_U_PWD));

    p = alice().type(1u << 5).minchg(kDay).exp(kDay).lock(1);
    User before = p;
    e = User().name("alicia").id(1).lock(0).retired().succhg(1).minchg(kWeek).exp(kWeek);
    EXPECT_EQ(validate(kNoIntegrity, kFillIn, kWeeks), 1);
    EXPECT_EQ(memcmp(&p, &before, sizeof p), 0);
}

// ---------------------------------------------------------------------
// An update of both sides whose files' half fails as it is put in place

TEST(MirrorRuleTest, OnlyUnderIntegrityTheEntryWaitsForTheFilesToLand) {
    for (auto [integrity, authority, entry_goes_in] :
         {std::tuple{1, 1, false}, std::tuple{0, 0, true}, std::tuple{0, 1, true}}) {
        SCOPED_TRACE(::testing::Message() << integrity << authority);
        int entry = 1, etc = 1, abandoned = 0;
        const mirror::Settlement &s =
            mirror::settle(mirror::regime(integrity, authority), true, true);
        bool installs = mirror::carry_out(
            s, [] { return 0; }, [&] { ++abandoned; }, entry, etc, 1);
        EXPECT_EQ(installs, entry_goes_in);
        EXPECT_EQ(etc, 0);
        EXPECT_EQ(entry, 1);
        EXPECT_EQ(abandoned, 0);
    }
}

}  // namespace
}  // namespace vant::test
