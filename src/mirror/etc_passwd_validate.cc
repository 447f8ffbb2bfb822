// Reconciling a user's protected entry (P) with the /etc view (E), field by
// field, under the mirroring regime.
#include <string.h>

#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "mirror/mirror_rule.h"
#include "vant.h"

namespace vant::mirror {
namespace {

struct Views {
    pr_field &p;
    pr_flag &pf;
    const pr_field &e;
    const pr_flag &ef;
    Regime regime;
    bool days;  // /etc/shadow in use: its counts are days, else weeks
};

bool p_has(const Views &v, uint32_t bit) {
    return PR_ISSET(v.pf, bit);
}
bool e_has(const Views &v, uint32_t bit) {
    return PR_ISSET(v.ef, bit);
}

// Name, id and lock: fields both views hold alike.
struct PlainField {
    uint32_t bit;
    bool (*equal)(const pr_field &, const pr_field &);
    void (*copy)(pr_field &, const pr_field &);
};
constexpr PlainField kPlainFields[] = {
    {PR_U_NAME,
     [](const pr_field &a, const pr_field &b) {
         return strncmp(a.u_name, b.u_name, sizeof a.u_name) == 0;
     },
     [](pr_field &to, const pr_field &from) { memcpy(to.u_name, from.u_name, sizeof to.u_name); }},
    {PR_U_ID, [](const pr_field &a, const pr_field &b) { return a.u_id == b.u_id; },
     [](pr_field &to, const pr_field &from) { to.u_id = from.u_id; }},
    {PR_U_LOCK, [](const pr_field &a, const pr_field &b) { return a.u_lock == b.u_lock; },
     [](pr_field &to, const pr_field &from) { to.u_lock = from.u_lock; }},
};

// The common rule for a field: false on a failure, else whether P takes E's.
bool agrees(const Views &v, bool in_p, bool in_e, bool equal, bool &take) {
    FieldAction action = field_action(v.regime, in_p, in_e, equal);
    take = action == FieldAction::take_etc;
    return action != FieldAction::fail;
}

bool plain_field(Views &v, const PlainField &field) {
    bool p = p_has(v, field.bit), e = e_has(v, field.bit), take = false;
    if (!agrees(v, p, e, p && e && field.equal(v.p, v.e), take)) return false;
    if (take) {
        field.copy(v.p, v.e);
        PR_SET(v.pf, field.bit);
    }
    return true;
}

void take_type(Views &v) {
    v.p.u_type = v.e.u_type;
    PR_SET(v.pf, PR_U_TYPE);
}

bool retired(Views &v) {
    bool p = is_retired(v.p, v.pf), e = is_retired(v.e, v.ef);
    switch (v.regime) {
        case Regime::integrity:
            return p == e;
        case Regime::etc_wins:
            if (p && !e_has(v, PR_U_TYPE)) {
                v.p.u_type = 0;
                PR_CLR(v.pf, PR_U_TYPE);
            } else if (e_has(v, PR_U_TYPE)) {
                take_type(v);
            }
            return true;
        case Regime::protected_wins:
            if (e_has(v, PR_U_TYPE) && !p_has(v, PR_U_TYPE)) take_type(v);
            return true;
    }
    return true;
}

// The conventional files may hold a shorter copy of P's password: E's
// password agrees when P's begins with it.
bool password_agrees(const Views &v) {
    return strncmp(v.p.u_pwd, v.e.u_pwd, strlen(v.e.u_pwd)) == 0;
}

bool password(Views &v) {
    bool p = p_has(v, PR_U_PWD), e = e_has(v, PR_U_PWD);
    switch (v.regime) {
        case Regime::integrity:
            if (is_retired(v.p, v.pf) || (!p && !e)) return true;
            return p && e && password_agrees(v);
        case Regime::etc_wins:
            if (!password_agrees(v)) memcpy(v.p.u_pwd, v.e.u_pwd, sizeof v.p.u_pwd);
            if (e)
                PR_SET(v.pf, PR_U_PWD);
            else
                PR_CLR(v.pf, PR_U_PWD);
            return true;
        case Regime::protected_wins:
            return true;
    }
    return true;
}

int unit(const Views &v) {
    return v.days ? kSecondsPerDay : kSecondsPerWeek;
}
int rounded(const Views &v, vant_time_t seconds) {
    return v.days ? round_to_days(seconds) : round_to_weeks(seconds);
}

void take_time(Views &v, vant_time_t pr_field::*field, uint32_t bit) {
    v.p.*field = v.e.*field;
    PR_SET(v.pf, bit);
}

// The last change: both sides' values truncated to whole units.
bool last_change(Views &v) {
    bool p = p_has(v, PR_U_SUCCHG), e = e_has(v, PR_U_SUCCHG), take = false;
    bool same = v.p.u_succhg / unit(v) == v.e.u_succhg / unit(v);
    if (!agrees(v, p, e, same, take)) return false;
    if (take) take_time(v, &pr_field::u_succhg, PR_U_SUCCHG);
    return true;
}

// Minimum and maximum: P rounded against E truncated. A zero in the
// /etc/passwd aging characters means that the value is not set: it counts
// only against a value of P, and where /etc wins it clears P's value but
// not its presence.
bool duration(Views &v, vant_time_t pr_field::*field, uint32_t bit) {
    bool p = p_has(v, bit), e = e_has(v, bit), take = false;
    vant_time_t etc = v.e.*field;
    bool unset_in_etc = e && etc == 0 && !v.days;
    if (unset_in_etc && v.regime == Regime::etc_wins) {
        if (p && rounded(v, v.p.*field) != 0) v.p.*field = 0;
        return true;
    }
    bool same = rounded(v, v.p.*field) == etc / unit(v);
    if (!agrees(v, p, e && (p || !unset_in_etc), same, take)) return false;
    if (take) take_time(v, field, bit);
    return true;
}

void last_login(Views &v) {
    if (v.regime != Regime::etc_wins || !e_has(v, PR_U_SUCLOG)) return;
    if (!p_has(v, PR_U_SUCLOG) || v.e.u_suclog > v.p.u_suclog)
        take_time(v, &pr_field::u_suclog, PR_U_SUCLOG);
}

bool reconcile(Views &v) {
    for (const PlainField &field : kPlainFields)
        if (!plain_field(v, field)) return false;
    if (!retired(v) || !password(v) || !last_change(v) ||
        !duration(v, &pr_field::u_minchg, PR_U_MINCHG) || !duration(v, &pr_field::u_exp, PR_U_EXP))
        return false;
    last_login(v);
    return true;
}

// Each check of the integrity rule on its own, so that every field that
// breaks it is found, not only the first.
struct FieldCheck {
    uint32_t bit;
    bool (*passes)(Views &);
};
constexpr FieldCheck kIntegrityChecks[] = {
    {PR_U_TYPE, retired},
    {PR_U_PWD, password},
    {PR_U_SUCCHG, last_change},
    {PR_U_MINCHG, [](Views &v) { return duration(v, &pr_field::u_minchg, PR_U_MINCHG); }},
    {PR_U_EXP, [](Views &v) { return duration(v, &pr_field::u_exp, PR_U_EXP); }},
};

}  // namespace

void passwd_differences(const struct pr_field *prot_fields, const struct pr_flag *prot_flags,
                        const struct pr_field *etc_fields, const struct pr_flag *etc_flags,
                        struct pr_flag *differing) {
    pr_field p = *prot_fields;
    pr_flag pf = *prot_flags;
    Views v{p, pf, *etc_fields, *etc_flags, Regime::integrity, shadow_exists == 1};
    *differing = {};
    for (const PlainField &field : kPlainFields)
        if (!plain_field(v, field)) PR_SET(*differing, field.bit);
    for (const FieldCheck &check : kIntegrityChecks)
        if (!check.passes(v)) PR_SET(*differing, check.bit);
}

int validate_passwd_fields(int integrity, int authority, struct pr_field *prot_fields,
                           struct pr_flag *prot_flags, const struct pr_field *etc_fields,
                           const struct pr_flag *etc_flags) {
    if (prot_fields == nullptr || prot_flags == nullptr || etc_fields == nullptr ||
        etc_flags == nullptr)
        return -1;
    Views v{*prot_fields,      *prot_flags, *etc_fields, *etc_flags, regime(integrity, authority),
            shadow_exists == 1};
    return reconcile(v) ? 1 : -1;
}

}  // namespace vant::mirror
