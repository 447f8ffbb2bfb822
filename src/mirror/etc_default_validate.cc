// Reconciling the System Default values of the database with those read
// from the /etc/default files.
#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror_rule.h"

namespace vant::mirror {
namespace {

struct Side {
    struct pr_field *fields;
    struct pr_flag *flags;

    bool has(uint32_t field) const { return PR_ISSET(*flags, field); }
};

// The aging fields in the order they are reconciled.
struct AgingField {
    uint32_t field;
    vant_time_t pr_field::*seconds;
};
constexpr AgingField kAging[] = {
    {PR_U_LIFE, &pr_field::u_life},
    {PR_U_EXP, &pr_field::u_exp},
    {PR_U_MINCHG, &pr_field::u_minchg},
};

// False on an integrity failure; the database takes the files' value
// where the rule says so.
template <typename T>
bool reconcile(Regime regime, Side db, Side file, uint32_t field, T pr_field::*value, bool equal) {
    switch (field_action(regime, db.has(field), file.has(field), equal)) {
        case FieldAction::fail:
            return false;
        case FieldAction::take_etc:
            db.fields->*value = file.fields->*value;
            PR_SET(*db.flags, field);
            return true;
        case FieldAction::keep:
            return true;
    }
    return true;
}

// A missing "PASSREQ" line means "YES": null passwords refused.
bool nullpw_agrees(Regime regime, Side db, Side file) {
    if (regime == Regime::integrity && db.has(PR_U_NULLPW) && !file.has(PR_U_NULLPW)) {
        file.fields->u_nullpw = 0;
        PR_SET(*file.flags, PR_U_NULLPW);
    }
    bool equal = (db.fields->u_nullpw != 0) == (file.fields->u_nullpw != 0);
    return reconcile(regime, db, file, PR_U_NULLPW, &pr_field::u_nullpw, equal);
}

// The database counts in seconds, the files in whole weeks.
bool aging_agrees(Regime regime, Side db, Side file, const AgingField &a) {
    bool same_weeks =
        round_to_weeks(db.fields->*a.seconds) == file.fields->*a.seconds / kSecondsPerWeek;
    return reconcile(regime, db, file, a.field, a.seconds, same_weeks);
}

}  // namespace

int validate_dflt_fields(int integrity, int authority, struct pr_field *db_fields,
                         struct pr_flag *db_flags, struct pr_field *file_fields,
                         struct pr_flag *file_flags) {
    if (db_fields == nullptr || db_flags == nullptr || file_fields == nullptr ||
        file_flags == nullptr)
        return -1;
    Regime rule = regime(integrity, authority);
    Side db{db_fields, db_flags}, file{file_fields, file_flags};
    if (!nullpw_agrees(rule, db, file)) return -1;
    for (const AgingField &a : kAging)
        if (!aging_agrees(rule, db, file, a)) return -1;
    return 1;
}

}  // namespace vant::mirror
