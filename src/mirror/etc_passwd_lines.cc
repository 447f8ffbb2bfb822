// A user's new /etc/passwd and /etc/shadow lines, made from the record and
// the user's old line.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string_view>

#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "vant.h"

namespace vant::mirror {
namespace {

constexpr int kMaxAgingDigit = 63;   // one radix-64 character
constexpr int kPasswdKeptAfter = 3;  // colons before the kept group field
constexpr int kPasswdKeptColons = 4;
constexpr int kShadowKeptAfter = 5;  // colons before the platform's own fields
// Without a line to keep them from, the group, comment, home and shell
// fields are left empty.
constexpr char kEmptyPasswdRest[] = ":::";
// The platform's reader refuses a line that ends in an empty field unless
// it has all nine fields; a line whose maximum is empty gets the other
// four, empty.
constexpr char kEmptyShadowRest[] = "::::";

class LineBuilder {
  public:
    explicit LineBuilder(char *out) : out_(out) { out_[0] = '\0'; }

    void add(std::string_view text) {
        if (failed_ || used_ + text.size() > kMaxLine) {
            failed_ = true;
            return;
        }
        memcpy(out_ + used_, text.data(), text.size());
        used_ += text.size();
        out_[used_] = '\0';
    }
    // Text from the record: a separator in it would make another field, or
    // another user's line.
    void field(std::string_view text) {
        if (text.find_first_of(":\n") != std::string_view::npos) failed_ = true;
        add(text);
    }
    void number(unsigned long value) {
        char digits[24];
        snprintf(digits, sizeof digits, "%lu", value);
        add(digits);
    }
    // A time to be written may not be negative.
    void time(vant_time_t seconds, int (*to_units)(int)) {
        if (seconds < 0) return refuse();
        number(static_cast<unsigned long>(to_units(seconds)));
    }
    void refuse() { failed_ = true; }
    int result() const { return failed_ ? -1 : 0; }

  private:
    char *out_;
    size_t used_ = 0;
    bool failed_ = false;
};

int days_of(int seconds) {
    return seconds / kSecondsPerDay;
}
int weeks_of(int seconds) {
    return seconds / kSecondsPerWeek;
}

// A text field of the record, which need not hold its NUL.
template <size_t N>
std::string_view text_of(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}

bool has(const pr_flag &flags, uint32_t bit) {
    return PR_ISSET(flags, bit);
}

// The text after the line's n-th colon, or null.
const char *after_colons(const char *line, int n) {
    for (int i = 0; line != nullptr && i < n; ++i) {
        line = strchr(line, ':');
        if (line != nullptr) ++line;
    }
    return line;
}

void add_password(LineBuilder &line, const pr_field &f, const pr_flag &fl) {
    if (has(fl, PR_U_LOCK) && f.u_lock == 1) line.add(kLockedMark);
    if (is_retired(f, fl))
        line.add(kRetiredMark);
    else if (has(fl, PR_U_PWD) && text_of(f.u_pwd) == kRetiredMark)
        line.add("*");
    else if (has(fl, PR_U_PWD))
        line.field(text_of(f.u_pwd));
}

void add_aging_digit(LineBuilder &line, bool present, vant_time_t seconds) {
    if (present && seconds < 0) return line.refuse();
    int weeks = present ? round_to_weeks(seconds) : 0;
    if (weeks > kMaxAgingDigit) weeks = kMaxAgingDigit;
    line.add(weeks < 1 ? "." : l64a(weeks));
}

// ",", the maximum and the minimum in weeks, then the week of the last
// change when the record has it.
void add_aging(LineBuilder &line, const pr_field &f, const pr_flag &fl) {
    if (!has(fl, PR_U_EXP) && !has(fl, PR_U_MINCHG) && !has(fl, PR_U_SUCCHG)) return;
    line.add(",");
    add_aging_digit(line, has(fl, PR_U_EXP), f.u_exp);
    add_aging_digit(line, has(fl, PR_U_MINCHG), f.u_minchg);
    if (!has(fl, PR_U_SUCCHG)) return;
    if (f.u_succhg < 0) return line.refuse();
    int week = weeks_of(f.u_succhg);
    line.add(week > 0 ? l64a(week) : ".");
}

// Group, comment, home directory and shell, as the old line has them.
void add_passwd_rest(LineBuilder &line, const char *old_line) {
    const char *rest = after_colons(old_line, kPasswdKeptAfter);
    if (rest == nullptr) return line.add(kEmptyPasswdRest);
    const char *end = after_colons(rest, kPasswdKeptColons);
    line.add(end != nullptr ? std::string_view(rest, static_cast<size_t>(end - rest))
                            : std::string_view(rest));
}

// The old line's user id, when it is a number too large for the record's
// 16-bit id and the record holds its cut-down copy: writing the copy would
// give the user another user's id.
std::string_view id_beyond_record(const char *old_line, const pr_field &f, const pr_flag &fl) {
    const char *uid = after_colons(old_line, 2);
    const char *end = uid != nullptr ? strchr(uid, ':') : nullptr;
    if (end == nullptr || end == uid || end - uid > 10 || !has(fl, PR_U_ID)) return {};
    std::string_view text(uid, static_cast<size_t>(end - uid));
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return {};
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    bool cut_copy = value > UINT16_MAX && static_cast<vant_id_t>(value) == f.u_id;
    return cut_copy ? text : std::string_view();
}

}  // namespace

int make_passwd_line(char *out, const pr_field &f, const pr_flag &fl, bool shadow_in_use,
                     const char *old_line) {
    LineBuilder line(out);
    line.field(text_of(f.u_name));
    line.add(":");
    if (shadow_in_use) {
        line.add("x");
    } else {
        add_password(line, f, fl);
        add_aging(line, f, fl);
    }
    line.add(":");
    std::string_view kept_id = id_beyond_record(old_line, f, fl);
    if (!kept_id.empty())
        line.add(kept_id);
    else if (has(fl, PR_U_ID))
        line.number(f.u_id);
    line.add(":");
    add_passwd_rest(line, old_line);
    return line.result();
}

int make_shadow_line(char *out, const pr_field &f, const pr_flag &fl, const char *old_line) {
    LineBuilder line(out);
    line.field(text_of(f.u_name));
    line.add(":");
    add_password(line, f, fl);
    line.add(":");
    if (has(fl, PR_U_SUCCHG)) line.time(f.u_succhg, days_of);
    line.add(":");
    if (has(fl, PR_U_MINCHG)) line.time(f.u_minchg, round_to_days);
    line.add(":");
    if (has(fl, PR_U_EXP)) line.time(f.u_exp, round_to_days);
    const char *platform_fields = after_colons(old_line, kShadowKeptAfter);
    if (platform_fields != nullptr) {
        line.add(":");
        line.add(platform_fields);
    } else if (!has(fl, PR_U_EXP)) {
        line.add(kEmptyShadowRest);
    }
    return line.result();
}

}  // namespace vant::mirror
