// Reconciling a user's protected entry (P) with the /etc view (E): the regime,
// the units of the files and what each side holds decide what P becomes.
#include <optional>

#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

enum Regime { kIntegrity, kEtcWins, kFillIn };
enum Units { kWeeks = 0, kDays = 1 };

// The /etc files hold the password cut to eight.
const User kAlice = User().name("alice").id(1000).lock(0).pwd("abcdefghij").succhg(19000 * kDay);
const User kEtcAlice = User(kAlice).pwd("abcdefgh");

struct Row {
    const char *what;
    Regime regime;
    Units units;
    User p, e;
    int result;
    std::optional<User> p_after = std::nullopt;  // none: P as it was
};

TEST(ValidateTest, TheRegimeDecidesWhetherADifferenceFailsIsReplacedOrFillsAGap) {
    const User e = User().pwd("abcdefgh");
    User filled = User().name("alice").id(1000).lock(0).retired();
    filled.succhg(19000 * kDay).minchg(0).exp(2 * kWeek);
    const Row rows[] = {
        {"other id", kIntegrity, kWeeks, User(kAlice), User(kEtcAlice).id(1001), -1},
        {"eighth character", kIntegrity, kWeeks, User(kAlice), User(kEtcAlice).pwd("abcdefgX"), -1},
        {"10 days round to 1 week", kIntegrity, kWeeks,
         User(kAlice).minchg(10 * kDay).exp(100 * kDay),
         User(kEtcAlice).minchg(kWeek + 3 * kDay).exp(14 * kWeek + kDay), 1},
        {"retired: no password compared", kIntegrity, kWeeks, User(kAlice).retired(),
         User(kEtcAlice).retired().pwd("zz"), 1},
        {"name, id, lock; no longer retired", kEtcWins, kWeeks, User(kAlice).retired(),
         User(e).name("alicia").id(1001).lock(1), 1, User(kAlice).name("alicia").id(1001).lock(1)},
        {"times in weeks; the later login", kEtcWins, kWeeks,
         User(kAlice).succhg(19000 * kDay + 999).minchg(10 * kDay).exp(20 * kDay).suclog(700),
         User(e).succhg(19000 * kDay).minchg(kWeek).exp(4 * kWeek).suclog(500), 1,
         User(kAlice).succhg(19000 * kDay + 999).minchg(10 * kDay).exp(4 * kWeek).suclog(700)},
        {"gaps filled", kFillIn, kDays, User(), User(filled).pwd("zzz"), 1, filled},
        {"nothing P holds changes", kFillIn, kWeeks,
         User(kAlice).type(1u << 5).minchg(kDay).exp(kDay).lock(1),
         User().name("alicia").id(1).lock(0).retired().succhg(1).minchg(kWeek).exp(kWeek), 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        User p = r.p;
        mirror::shadow_exists = r.units;
        EXPECT_EQ(mirror::validate_passwd_fields(r.regime == kIntegrity, r.regime == kFillIn, &p.f,
                                                 &p.fl, &r.e.f, &r.e.fl),
                  r.result);
        EXPECT_EQ(p.text(), r.p_after.value_or(r.p).text());
    }
    User p;
    EXPECT_EQ(mirror::validate_passwd_fields(0, 1, nullptr, &p.fl, &e.f, &e.fl), -1);
    EXPECT_EQ(mirror::validate_passwd_fields(0, 1, &p.f, &p.fl, &e.f, nullptr), -1);
}

}  // namespace
}  // namespace vant::test
