#include "mirror/mirror_rule.h"

namespace vant::mirror {
namespace {

// What the two sides hold of a field.
enum Held { neither, p_only, e_only, both_equal, both_different, kHeldStates };
// Whose new version is ready.
enum Ready { both_ready, p_ready, e_ready, none_ready, kReadyStates };

struct RegimeRule {
    bool protected_alone;
    bool etc_alone;
    FieldAction fields[kHeldStates];
    Settlement settlements[kReadyStates];
};

using enum FieldAction;
using enum HalfOutcome;

constexpr RegimeRule kRules[] = {
    // integrity
    {false,
     false,
     {keep, fail, fail, keep, fail},
     {{install_after_etc, install},
      {untouched, untouched},
      {untouched, untouched},
      {untouched, untouched}}},
    // etc_wins
    {false,
     true,
     {keep, keep, take_etc, keep, take_etc},
     {{install, install}, {failed, failed}, {given_up, install}, {failed, failed}}},
    // protected_wins
    {true,
     false,
     {keep, keep, take_etc, keep, keep},
     {{install, install}, {install, given_up}, {failed, failed}, {failed, failed}}},
};

const RegimeRule &rule(Regime regime) {
    return kRules[static_cast<int>(regime)];
}

}  // namespace

Regime regime(int integrity, int authority) {
    if (integrity != 0) return Regime::integrity;
    return authority == 0 ? Regime::etc_wins : Regime::protected_wins;
}

bool protected_may_stand_alone(Regime regime) {
    return rule(regime).protected_alone;
}

bool etc_may_stand_alone(Regime regime) {
    return rule(regime).etc_alone;
}

FieldAction field_action(Regime regime, bool in_protected, bool in_etc, bool equal) {
    Held held = !in_etc         ? (in_protected ? p_only : neither)
                : !in_protected ? e_only
                : equal         ? both_equal
                                : both_different;
    return rule(regime).fields[held];
}

const Settlement &settle(Regime regime, bool protected_ready, bool etc_ready) {
    Ready ready = protected_ready ? (etc_ready ? both_ready : p_ready)
                  : etc_ready     ? e_ready
                                  : none_ready;
    return rule(regime).settlements[ready];
}

int status_after(HalfOutcome outcome, int status, int given_up) {
    switch (outcome) {
        case HalfOutcome::given_up:
            return given_up;
        case HalfOutcome::failed:
            return 0;
        default:
            return status;
    }
}

}  // namespace vant::mirror
