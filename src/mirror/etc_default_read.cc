// Reading the key lines of the /etc/default files into System Default
// fields.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/line_finder.h"

namespace vant::mirror {
namespace {

// Leading digits only; anything after them is ignored.
long weeks_of(const char *value) {
    long weeks = strtol(value, nullptr, 10);
    return weeks < 0 ? 0 : weeks > kMaxWeeks ? kMaxWeeks : weeks;
}

void take(const DfltKey &k, const char *value, struct pr_field *fields, struct pr_flag *flags) {
    if (k.kind == DfltValue::passreq)
        fields->u_nullpw = strcmp(value, "YES") == 0 ? 0 : 1;
    else
        fields->*k.seconds = static_cast<vant_time_t>(weeks_of(value) * kSecondsPerWeek);
    PR_SET(*flags, k.field);
}

// The value of the first line of the key; a line of the key alone, or
// with nothing after "=", has none.
void read_key(FILE *stream, const DfltKey &k, struct pr_field *fields, struct pr_flag *flags) {
    rewind(stream);
    if (find_line(k.key, '=', stream, nullptr) < 0) return;
    const char *line = found_line();
    if (line == nullptr) return;
    const char *value = line + strlen(k.key);
    if (*value == '=' && value[1] != '\0') take(k, value + 1, fields, flags);
}

}  // namespace

int get_dflt_fields(struct pr_field *fields, struct pr_flag *flags) {
    for (int i = kDfltFileCount - 1; i >= 0; --i) {
        FILE *stream = nullptr;
        int opened = open_file(kDfltFiles[i].path, &stream);
        if (opened < 0) {
            free_userbuf();
            return 0;
        }
        if (opened == 0) continue;
        for (const DfltKey &k : kDfltFiles[i].keys)
            read_key(stream, k, fields, flags);
        fclose(stream);
    }
    free_userbuf();
    return 1;
}

}  // namespace vant::mirror
