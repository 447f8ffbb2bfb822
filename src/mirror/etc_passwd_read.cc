// Reading a user's /etc/passwd and /etc/shadow lines into the /etc view of
// the user's record.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::mirror {

int shadow_exists = 0;

namespace {

struct ReadState {
    int star_in_passwd = 0;
};
constinit ReadState state;

struct Record {
    pr_field &fields;
    pr_flag &flags;
};

bool begins_with(const char *text, const char *prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

void take_name(const char *name, Record r) {
    size_t length = strnlen(name, VANT_NAME_LEN);
    memcpy(r.fields.u_name, name, length);
    r.fields.u_name[length] = '\0';
    PR_SET(r.flags, PR_U_NAME);
}

// A password field: an optional lock mark, then the retired mark or the
// encrypted password. One too long for the record is cut; no password
// matches what is left.
void get_passwd(const char *field, Record r) {
    if (field == nullptr) return;
    r.fields.u_lock = 0;
    PR_SET(r.flags, PR_U_LOCK);
    if (*field == '\0') return;
    if (begins_with(field, kLockedMark)) {
        r.fields.u_lock = 1;
        field += strlen(kLockedMark);
        if (*field == '\0') return;
    }
    if (begins_with(field, kRetiredMark)) {
        r.fields.u_type = kRetiredBit;
        PR_SET(r.flags, PR_U_TYPE);
        return;
    }
    size_t length = strnlen(field, VANT_PWD_LEN);
    memcpy(r.fields.u_pwd, field, length);
    r.fields.u_pwd[length] = '\0';
    PR_SET(r.flags, PR_U_PWD);
}

long aging_weeks(const char *digits) {
    long weeks = a64l(digits);
    return weeks < 0 ? 0 : weeks > kMaxWeeks ? kMaxWeeks : weeks;
}

void set_weeks(vant_time_t &field, uint32_t bit, const char *digits, Record r) {
    field = static_cast<vant_time_t>(aging_weeks(digits) * kSecondsPerWeek);
    PR_SET(r.flags, bit);
}

// The aging characters after the password: maximum, minimum, then the week
// of the last change.
void get_aging(const char *aging, Record r) {
    if (aging[0] == '\0') return;
    const char maximum[] = {aging[0], '\0'};
    set_weeks(r.fields.u_exp, PR_U_EXP, maximum, r);
    if (aging[1] == '\0') return;
    const char minimum[] = {aging[1], '\0'};
    set_weeks(r.fields.u_minchg, PR_U_MINCHG, minimum, r);
    if (aging[2] == '\0') return;
    set_weeks(r.fields.u_succhg, PR_U_SUCCHG, aging + 2, r);
}

void read_passwd_fields(char *line, Record r) {
    state.star_in_passwd = 0;
    char *password = skipfield(line, ':');
    take_name(line, r);
    if (password == nullptr) return;
    char *uid = skipfield(password, ':');
    state.star_in_passwd = strcmp(password, "*") == 0;
    if (!(shadow_exists == 1 && strcmp(password, "x") == 0)) {
        char *aging = skipfield(password, ',');
        get_passwd(password, r);
        if (aging != nullptr) get_aging(aging, r);
    }
    if (uid == nullptr) return;
    char *gid = skipfield(uid, ':');
    if (*uid != '\0') {
        char *end;
        r.fields.u_id = static_cast<vant_id_t>(strtol(uid, &end, 10));
        if (*end != '\0') return;
        PR_SET(r.flags, PR_U_ID);
    }
    char *home = skipfield(skipfield(gid, ':'), ':');
    if (home == nullptr) return;
    skipfield(home, ':');
    get_slogin(home, &r.fields, &r.flags);
}

struct DayField {
    vant_time_t pr_field::*field;
    uint32_t bit;
};
constexpr DayField kDayFields[] = {{&pr_field::u_succhg, PR_U_SUCCHG},
                                   {&pr_field::u_minchg, PR_U_MINCHG},
                                   {&pr_field::u_exp, PR_U_EXP}};

// The last-change, minimum and maximum day counts. A number followed by
// anything but the end of its field ends the line's parsing.
void read_shadow_fields(char *line, Record r) {
    char *password = skipfield(line, ':');
    take_name(line, r);
    if (password == nullptr) return;
    char *field = skipfield(password, ':');
    get_passwd(password, r);
    for (const DayField &day : kDayFields) {
        if (field == nullptr) return;
        char *next = skipfield(field, ':');
        if (*field != '\0') {
            char *end;
            long days = strtol(field, &end, 10);
            if (*end != '\0') return;
            days = days < 0 ? 0 : days > kMaxDays ? kMaxDays : days;
            r.fields.*day.field = static_cast<vant_time_t>(days * kSecondsPerDay);
            PR_SET(r.flags, day.bit);
        }
        field = next;
    }
}

}  // namespace

int pre_v3_passwd() {
    return state.star_in_passwd;
}

int get_pw_fields(const char *name, struct pr_field *fields, struct pr_flag *flags) {
    if (name == nullptr || name[0] == '\0' || fields == nullptr || flags == nullptr) return -1;
    *fields = {};
    *flags = {};
    Record record{*fields, *flags};
    struct stat st;
    shadow_exists = platform::stat_file(kShadowPath, &st) == 0 ? 1 : 0;

    int found = find_user_line(name, passwd_fp, kPasswdPath);
    if (found < 0 || found_line() == nullptr) {
        free_userbuf();
        return -1;
    }
    read_passwd_fields(found_line(), record);
    if (found == 1) {
        free_userbuf();
        return 1;
    }
    if (find_user_line(name, shadow_fp, kShadowPath) == 0 && found_line() != nullptr)
        read_shadow_fields(found_line(), record);
    else
        shadow_exists = 0;
    free_userbuf();
    return 0;
}

}  // namespace vant::mirror
