// The field tables of the user and terminal records.
#include "record_fields.h"

#include <limits.h>
#include <string.h>

#include <iterator>

namespace vantdb {
namespace {

int highest_in(const struct namepair *table) {
    int highest = 0;
    for (const struct namepair *p = table; p->name != nullptr; ++p)
        if (static_cast<int>(p->value) > highest) highest = static_cast<int>(p->value);
    return highest;
}

const NameList kUserTypes{"user type", [] { return (const namepair *)user_type; },
                          [] { return highest_in(user_type); }};
const NameList kSysPrivs{"system privilege", [] { return (const namepair *)sys_priv; },
                         [] { return highest_in(sys_priv); }};
const NameList kAuditMasks{"audit event", [] { return (const namepair *)audit_mask; },
                           [] { return highest_in(audit_mask); }};
const NameList kSecClasses{"security class", [] { return (const namepair *)secclass; },
                           [] { return highest_in(secclass); }};
const NameList kCmdPrivs{"authorization",
                         [] {
                             build_cmd_priv();
                             return (const namepair *)cmd_priv;
                         },
                         [] {
                             build_cmd_priv();
                             return ST_MAX_CPRIV;
                         }};

#define U(name, bit, kind, min, max, names, settable)                                              \
    Field {                                                                                        \
#name, bit, Kind::kind, offsetof(pr_field, name), sizeof(pr_field::name), min, max, names, \
            settable                                                                               \
    }
#define T(name, bit, kind, min, max, settable)                                                     \
    Field {                                                                                        \
#name, bit, Kind::kind, offsetof(t_field, name), sizeof(t_field::name), min, max, nullptr, \
            settable                                                                               \
    }

constexpr long long kTime = INT32_MAX;
constexpr long long kU16 = UINT16_MAX;

const Field kUser[] = {
    U(u_name, PR_U_NAME, text, 0, VANT_NAME_LEN, nullptr, false),
    U(u_id, PR_U_ID, number, 0, kU16, nullptr, true),
    U(u_pwd, PR_U_PWD, text, 0, VANT_PWD_LEN, nullptr, true),
    U(u_type, PR_U_TYPE, names, 0, 0, &kUserTypes, true),
    U(u_owner, PR_U_OWNER, text, 0, VANT_NAME_LEN, nullptr, true),
    U(u_priority, PR_U_PRIORITY, number, -20, 19, nullptr, true),
    U(u_cmdpriv, PR_U_CMDPRIV, names, 0, 0, &kCmdPrivs, true),
    U(u_syspriv, PR_U_SYSPRIV, names, 0, 0, &kSysPrivs, true),
    U(u_auditcntl, PR_U_AUDITCNTL, names, 0, 0, &kAuditMasks, true),
    U(u_auditdisp, PR_U_AUDITDISP, names, 0, 0, &kAuditMasks, true),
    U(u_minchg, PR_U_MINCHG, duration, 0, kTime, nullptr, true),
    U(u_maxlen, PR_U_MAXLEN, number, 0, 80, nullptr, true),
    U(u_exp, PR_U_EXP, duration, 0, kTime, nullptr, true),
    U(u_life, PR_U_LIFE, duration, 0, kTime, nullptr, true),
    U(u_succhg, PR_U_SUCCHG, time, 0, kTime, nullptr, true),
    U(u_unsucchg, PR_U_UNSUCCHG, time, 0, kTime, nullptr, true),
    U(u_pswduser, PR_U_PSWDUSER, user, 0, kU16, nullptr, true),
    U(u_pickpw, PR_U_PICKPW, flag, 0, 1, nullptr, true),
    U(u_genpwd, PR_U_GENPWD, flag, 0, 1, nullptr, true),
    U(u_restrict, PR_U_RESTRICT, flag, 0, 1, nullptr, true),
    U(u_nullpw, PR_U_NULLPW, flag, 0, 1, nullptr, true),
    U(u_suclog, PR_U_SUCLOG, time, 0, kTime, nullptr, true),
    U(u_suctty, PR_U_SUCTTY, text, 0, VANT_TTY_LEN, nullptr, true),
    U(u_unsuclog, PR_U_UNSUCLOG, time, 0, kTime, nullptr, true),
    U(u_unsuctty, PR_U_UNSUCTTY, text, 0, VANT_TTY_LEN, nullptr, true),
    U(u_numunsuclog, PR_U_NUMUNSUCLOG, number, 0, INT16_MAX, nullptr, true),
    U(u_maxtries, PR_U_MAXTRIES, number, 0, kU16, nullptr, true),
    U(u_lock, PR_U_LOCK, flag, 0, 1, nullptr, true),
    U(u_singleuserpswd, PR_U_SINGLEUSERPSWD, flag, 0, 1, nullptr, true),
    U(u_secclass, PR_U_SECCLASS, names, 0, 0, &kSecClasses, true),
    U(u_integrity, PR_U_INTEGRITY, flag, 0, 1, nullptr, true),
    U(u_tcbpw, PR_U_TCBPW, flag, 0, 1, nullptr, true),
    U(u_pwseg, PR_U_PWSEG, number, 1, 10, nullptr, true),
};

const Field kTerminal[] = {
    T(t_devname, PR_T_DEVNAME, text, 0, VANT_DEVNAME_LEN, false),
    T(t_uid, PR_T_UID, user, 0, kU16, true),
    T(t_logtime, PR_T_LOGTIME, time, 0, kTime, true),
    T(t_unsucuid, PR_T_UNSUCUID, user, 0, kU16, true),
    T(t_unsuctime, PR_T_UNSUCTIME, time, 0, kTime, true),
    T(t_prevuid, PR_T_PREVUID, user, 0, kU16, true),
    T(t_prevtime, PR_T_PREVTIME, time, 0, kTime, true),
    T(t_failures, PR_T_FAILURES, number, 0, kU16, true),
    T(t_maxtries, PR_T_MAXTRIES, number, 0, kU16, true),
    T(t_logdelay, PR_T_LOGDELAY, duration, 0, UINT32_MAX, true),
    T(t_label, PR_T_LABEL, text, 0, VANT_LABEL_LEN, true),
    T(t_lock, PR_T_LOCK, flag, 0, 1, true),
    T(t_login_timeout, PR_T_LOGIN_TIMEOUT, duration, 0, kU16, true),
};

#undef U
#undef T

}  // namespace

const Field *FieldTable::find(const char *name) const {
    for (const Field &f : *this)
        if (strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

const FieldTable kUserFields{std::begin(kUser), std::end(kUser)};
const FieldTable kTerminalFields{std::begin(kTerminal), std::end(kTerminal)};

}  // namespace vantdb
