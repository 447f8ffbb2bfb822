// Mirroring four System Default fields into the key lines of
// /etc/default/passwd and /etc/default/login: reading them into a record,
// reconciling them with the database's values, and rewriting the files
// under their lock files.
#pragma once

#include <stdint.h>

#include "mirror/etc_passwd_format.h"
#include "vant.h"

namespace vant::mirror {

enum class DfltValue {
    weeks,    // "%s=%ld": round_to_weeks of the field
    passreq,  // "YES" when null passwords are refused (u_nullpw 0), else "NO"
};

struct DfltKey {
    const char *key;
    uint32_t field;  // PR_U_ constant
    DfltValue kind;
    vant_time_t pr_field::*seconds;  // weeks keys only
};

struct DfltFile {
    const char *path;
    DfltKey keys[2];  // in the order missing lines are appended
};

// In locking order; the files are read and replaced in the reverse order.
inline constexpr DfltFile kDfltFiles[] = {
    {"/etc/default/passwd",
     {{"MINWEEKS", PR_U_MINCHG, DfltValue::weeks, &pr_field::u_minchg},
      {"MAXWEEKS", PR_U_EXP, DfltValue::weeks, &pr_field::u_exp}}},
    {"/etc/default/login",
     {{"IDLEWEEKS", PR_U_LIFE, DfltValue::weeks, &pr_field::u_life},
      {"PASSREQ", PR_U_NULLPW, DfltValue::passreq, nullptr}}},
};
inline constexpr int kDfltFileCount = 2;

// Sets the fields it finds, with their presence bits. 1 when both files
// were examined (a missing file gives nothing), 0 when one stayed locked.
int get_dflt_fields(struct pr_field *fields, struct pr_flag *flags);

// Reconciles the database side with the side read from the files under
// the mirroring settings; either side may be changed. 1, or -1 on an
// integrity failure or a null argument.
int validate_dflt_fields(int integrity, int authority, struct pr_field *db_fields,
                         struct pr_flag *db_flags, struct pr_field *file_fields,
                         struct pr_flag *file_flags);

// An update: lock_dflt_files, put_dflt_fields, then replace_dflt_files,
// or unlock_dflt_files to give up.
// 1 with both lock files held, else 0 with none.
int lock_dflt_files();
// Assembles both files' new texts; present is 0 when the entry is being
// removed, which removes the key lines. 1, or 0.
int put_dflt_fields(int present, const struct pr_field *fields, const struct pr_flag *flags);
// Writes the files that changed and removes the locks; 1 when all of it
// succeeded.
int replace_dflt_files();
void unlock_dflt_files();

}  // namespace vant::mirror
