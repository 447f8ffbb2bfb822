// Who wins when a protected entry and the conventional files disagree:
// the one rule that the lookups, the reconcilers and the writers of both
// mirrored databases consult.
#pragma once

namespace vant::mirror {

// The mirroring regime that u_integrity and u_tcbpw select.
enum class Regime : unsigned char {
    integrity,       // any difference is a failure; the sides change together
    etc_wins,        // authority 0: the conventional files replace the protected values
    protected_wins,  // the protected side leads; the files only fill its gaps
};

// From the values evaluate_mirroring_fields yields.
Regime regime(int integrity, int authority);

// Whether one side may stand without the other: a lookup goes on without
// it, an update installs the leading side alone.
bool protected_may_stand_alone(Regime regime);
bool etc_may_stand_alone(Regime regime);

// One field of the protected side (P) against the files' view (E).
enum class FieldAction : unsigned char {
    keep,      // P stays as it is
    take_etc,  // P takes E's value and presence
    fail,      // an integrity failure
};
FieldAction field_action(Regime regime, bool in_protected, bool in_etc, bool equal);

// What an update of both sides does with each side once both know
// whether their new versions are ready.
enum class HalfOutcome : unsigned char {
    install,            // put in place; its status is the result
    install_after_etc,  // put in place only when the files' side landed
    untouched,          // abandoned; its status stays
    given_up,           // abandoned because the other side leads
    failed,             // abandoned; its status becomes failure
};
struct Settlement {
    HalfOutcome protected_side;
    HalfOutcome etc_side;
};
const Settlement &settle(Regime regime, bool protected_ready, bool etc_ready);

// The status (1 done, 0 not) a side has after an outcome that leaves it
// out; `given_up` is what a writer counts a side abandoned for the other.
int status_after(HalfOutcome outcome, int status, int given_up);

// Carries a settlement out, the files' side first so that under integrity
// the protected side can wait for it: `install_etc` returns the files'
// new status, `abandon_etc` gives their update up. Returns whether the
// protected side goes into place; a side left out gets its status here.
template <typename InstallEtc, typename AbandonEtc>
bool carry_out(const Settlement &s, InstallEtc &&install_etc, AbandonEtc &&abandon_etc,
               int &protected_status, int &etc_status, int given_up) {
    bool landed = false;
    if (s.etc_side == HalfOutcome::install) {
        etc_status = install_etc();
        landed = etc_status == 1;
    } else {
        abandon_etc();
        etc_status = status_after(s.etc_side, etc_status, given_up);
    }
    if (s.protected_side == HalfOutcome::install) return true;
    if (s.protected_side == HalfOutcome::install_after_etc) return landed;
    protected_status = status_after(s.protected_side, protected_status, given_up);
    return false;
}

}  // namespace vant::mirror
