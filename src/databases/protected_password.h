// Internal side of the Protected Password database: the records and run
// shared by its readers, and the rules its readers and writer share.
#pragma once

#include <stddef.h>

#include "vant.h"

namespace vant::databases {

// The lookup's result record and the /etc view beside it; null until the
// first run starts, then kept for the process.
struct pr_passwd *prpw_record();
struct pr_passwd *etc_prpw_record();

// The user last returned by getprpwent; -1 starts again from the first.
int last_uid_found();
void set_last_uid_found(int uid);

// The length a password is cut to for mirroring: two salt characters and
// u_pwseg segments, or 0 when the defaults set no segment count.
size_t pwd_segment_length(const struct pr_field *defaults, const struct pr_flag *default_flags);
void truncate_passwd(const struct pr_flag *default_flags, const struct pr_field *defaults,
                     struct pr_field *target);

// Every system privilege and every declared command privilege.
void grant_superuser_privileges(struct pr_field *fields, struct pr_flag *flags);

}  // namespace vant::databases
