// The /etc/passwd and /etc/shadow lines that mirror a user's protected
// entry: their units, markers and limits, and the builders of new lines.
#pragma once

#include <stddef.h>

#include "vant.h"

namespace vant::mirror {

inline constexpr const char *kPasswdPath = "/etc/passwd";
inline constexpr const char *kShadowPath = "/etc/shadow";

inline constexpr int kSecondsPerWeek = 604800;
inline constexpr int kSecondsPerDay = 86400;
// The largest counts whose seconds still fit in 31 bits.
inline constexpr long kMaxWeeks = 3550;
inline constexpr long kMaxDays = 24855;

inline constexpr char kLockedMark[] = "*LK*";
inline constexpr char kRetiredMark[] = "*RETIRED*";
// "retired", value 6 of the user type list.
inline constexpr vant_mask_t kRetiredBit = 1u << 6;

// A line as the line finder carries it: at most kMaxLine characters, then
// the NUL.
inline constexpr size_t kLineSize = 1024;
inline constexpr size_t kMaxLine = kLineSize - 2;

inline bool is_retired(const pr_field &fields, const pr_flag &flags) {
    return PR_ISSET(flags, PR_U_TYPE) && (fields.u_type & kRetiredBit) != 0;
}

// The user's new lines, built into `line` (kLineSize bytes) from the record
// and the user's old line (null when there is none). 0, or -1 when a time
// to write is negative or the line would be longer than kMaxLine.
int make_passwd_line(char *line, const pr_field &fields, const pr_flag &flags, bool shadow_in_use,
                     const char *old_line);
int make_shadow_line(char *line, const pr_field &fields, const pr_flag &flags,
                     const char *old_line);

}  // namespace vant::mirror
