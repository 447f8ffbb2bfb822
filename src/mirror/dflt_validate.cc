// Reconciling the System Default values of the database with those read
// from the /etc/default files.
#include "mirror/dflt_files.h"
#include "mirror/pw_files.h"

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

// A missing "PASSREQ" line means "YES": null passwords refused.
bool nullpw_agrees(int integrity, int authority, Side db, Side file) {
    bool in_db = db.has(PR_U_NULLPW), in_file = file.has(PR_U_NULLPW);
    if (integrity != 0) {
        if (!in_db && !in_file) return true;
        if (!in_db) return false;
        if (!in_file) {
            file.fields->u_nullpw = 0;
            PR_SET(*file.flags, PR_U_NULLPW);
        }
        return (db.fields->u_nullpw != 0) == (file.fields->u_nullpw != 0);
    }
    if (in_file && (authority == 0 || !in_db)) {
        db.fields->u_nullpw = file.fields->u_nullpw;
        PR_SET(*db.flags, PR_U_NULLPW);
    }
    return true;
}

// The database counts in seconds, the files in whole weeks.
bool aging_agrees(int integrity, int authority, Side db, Side file, const AgingField &a) {
    bool in_db = db.has(a.field), in_file = file.has(a.field);
    bool same_weeks =
        in_db && in_file &&
        round_to_weeks(db.fields->*a.seconds) == file.fields->*a.seconds / kSecondsPerWeek;
    if (integrity != 0) return in_db == in_file && (!in_db || same_weeks);
    bool take = in_file && (!in_db || (authority == 0 && !same_weeks));
    if (take) {
        db.fields->*a.seconds = file.fields->*a.seconds;
        PR_SET(*db.flags, a.field);
    }
    return true;
}

}  // namespace

int validate_dflt_fields(int integrity, int authority, struct pr_field *db_fields,
                         struct pr_flag *db_flags, struct pr_field *file_fields,
                         struct pr_flag *file_flags) {
    if (db_fields == nullptr || db_flags == nullptr || file_fields == nullptr ||
        file_flags == nullptr)
        return -1;
    Side db{db_fields, db_flags}, file{file_fields, file_flags};
    if (!nullpw_agrees(integrity, authority, db, file)) return -1;
    for (const AgingField &a : kAging)
        if (!aging_agrees(integrity, authority, db, file, a)) return -1;
    return 1;
}

}  // namespace vant::mirror
