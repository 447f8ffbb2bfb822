// The reconciliation of a user's protected entry (P) with the /etc view
// (E) as one decision table: the regime, the units of the files in use and
// what each side holds decide the result and what P becomes.
#include <optional>

#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

enum Regime { kIntegrity, kEtcWins, kFillIn };
enum Units { kWeeks = 0, kDays = 1 };

User alice() {
    return User().name("alice").id(1000).lock(0).pwd("abcdefghij").succhg(19000 * kDay);
}
// The same user as the /etc files hold her: the password cut to eight.
User etc_alice() {
    return alice().pwd("abcdefgh");
}

struct Row {
    const char *what;
    Units units;
    User p, e;
    int result;
    std::optional<User> p_after = std::nullopt;  // none: P as it was
};

void check(Regime regime, const Row &r) {
    SCOPED_TRACE(r.what);
    User p = r.p;
    mirror::shadow_exists = r.units;
    int integrity = regime == kIntegrity, authority = regime == kFillIn;
    EXPECT_EQ(mirror::validate_passwd_fields(integrity, authority, &p.f, &p.fl, &r.e.f, &r.e.fl),
              r.result);
    EXPECT_EQ(p.text(), r.p_after.value_or(r.p).text());
}

TEST(ValidateTest, UnderIntegrityEveryDifferenceFails) {
    const Row rows[] = {
        {"other name", kWeeks, alice(), etc_alice().name("alicia"), -1},
        {"name only in P", kWeeks, alice(),
         User().id(1000).lock(0).pwd("abcdefgh").succhg(19000 * kDay), -1},
        {"other id", kWeeks, alice(), etc_alice().id(1001), -1},
        {"id only in E", kWeeks,
         User().name("alice").lock(0).pwd("abcdefghij").succhg(19000 * kDay), etc_alice(), -1},
        {"other lock", kWeeks, alice(), etc_alice().lock(1), -1},
        {"retired only in E", kWeeks, alice(), etc_alice().retired(), -1},
        {"eighth character differs", kWeeks, alice(), etc_alice().pwd("abcdefgX"), -1},
        {"E password longer", kWeeks, alice(), etc_alice().pwd("abcdefghijk"), -1},
        {"password only in P", kWeeks, alice(),
         User().name("alice").id(1000).lock(0).succhg(19000 * kDay), -1},
        {"other week of change", kWeeks, alice(), etc_alice().succhg(19007 * kDay), -1},
        {"other day of change", kDays, alice(), etc_alice().succhg(19001 * kDay), -1},
        {"minimum only in P", kWeeks, alice().minchg(kWeek), etc_alice(), -1},
        {"minimum 0 only in E, days", kDays, alice(), etc_alice().minchg(0), -1},
        {"maximum only in E", kWeeks, alice(), etc_alice().exp(kWeek), -1},
        {"other minimum in days", kDays, alice().minchg(10 * kDay).exp(100 * kDay),
         etc_alice().minchg(11 * kDay).exp(100 * kDay), -1},
        {"agreeing views; the later login is not taken", kWeeks,
         alice().minchg(kWeek).exp(10 * kWeek).suclog(500),
         etc_alice().minchg(kWeek).exp(10 * kWeek).suclog(900), 1},
        {"10 days round to 1 week", kWeeks, alice().minchg(10 * kDay).exp(100 * kDay),
         etc_alice().minchg(kWeek + 3 * kDay).exp(14 * kWeek + kDay), 1},
        {"a zero in the aging characters is no value", kWeeks, alice(),
         etc_alice().minchg(0).exp(0), 1},
        {"a retired account's password is not compared", kWeeks, alice().retired(),
         etc_alice().retired().pwd("zz"), 1},
    };
    for (const Row &r : rows)
        check(kIntegrity, r);
}

// Where E holds the password's beginning, P keeps its own.
TEST(ValidateTest, WhenTheFilesWinTheyReplaceWhatDiffers) {
    const User e = User().pwd("abcdefgh");
    const Row rows[] = {
        {"name, id, lock; no longer retired", kWeeks, alice().retired(),
         User(e).name("alicia").id(1001).lock(1), 1, alice().name("alicia").id(1001).lock(1)},
        {"retired", kWeeks, alice().type(1u << 5), User(e).retired(), 1, alice().retired()},
        {"a type without the retired bit stays", kDays, alice().type(1u << 5), e, 1, {}},
        {"another password", kDays, alice(), User().pwd("zyxwvuts"), 1, alice().pwd("zyxwvuts")},
        {"no password in the files: none in P", kDays, alice(), User(), 1,
         User().name("alice").id(1000).lock(0).succhg(19000 * kDay)},
        {"times that differ in weeks; the later login", kWeeks,
         alice().succhg(19000 * kDay + 999).minchg(10 * kDay).exp(20 * kDay).suclog(700),
         User(e).succhg(19000 * kDay).minchg(kWeek).exp(4 * kWeek).suclog(500), 1,
         alice().succhg(19000 * kDay + 999).minchg(10 * kDay).exp(4 * kWeek).suclog(700)},
        {"times that differ in days", kDays, alice().minchg(10 * kDay).exp(20 * kDay).suclog(700),
         User(e).succhg(19001 * kDay).minchg(10 * kDay).exp(20 * kDay).suclog(800), 1,
         alice().succhg(19001 * kDay).minchg(10 * kDay).exp(20 * kDay).suclog(800)},
        {"times P lacks", kDays, alice(), User(e).minchg(kDay).exp(2 * kDay).suclog(800), 1,
         alice().minchg(kDay).exp(2 * kDay).suclog(800)},
        {"zero weeks clear the value but not its presence", kWeeks, alice().minchg(2 * kWeek),
         User(e).minchg(0).exp(0), 1, alice().minchg(0)},
        {"in days a zero is a value like any other", kDays, alice().minchg(2 * kDay),
         User(e).minchg(0).exp(0), 1, alice().minchg(0).exp(0)},
    };
    for (const Row &r : rows)
        check(kEtcWins, r);
}

TEST(ValidateTest, WhenTheEntryLeadsTheFilesOnlyFillItsGaps) {
    const User full = etc_alice().retired().minchg(0).exp(2 * kWeek).suclog(900).pwd("zzz");
    const User filled = User().name("alice").id(1000).lock(0).retired().succhg(19000 * kDay);
    const User other =
        User().name("alicia").id(1).lock(0).retired().succhg(1).minchg(kWeek).exp(kWeek);
    const Row rows[] = {
        {"weeks", kWeeks, User().pwd("abc"), full, 1, User(filled).pwd("abc").exp(2 * kWeek)},
        {"days: a zero minimum counts", kDays, User(), full, 1,
         User(filled).minchg(0).exp(2 * kWeek)},
        {"nothing P holds changes",
         kWeeks,
         alice().type(1u << 5).minchg(kDay).exp(kDay).lock(1),
         other,
         1,
         {}},
    };
    for (const Row &r : rows)
        check(kFillIn, r);
    User p, e;
    EXPECT_EQ(mirror::validate_passwd_fields(0, 1, nullptr, &p.fl, &e.f, &e.fl), -1);
    EXPECT_EQ(mirror::validate_passwd_fields(0, 1, &p.f, &p.fl, &e.f, nullptr), -1);
}

}  // namespace
}  // namespace vant::test
