#include "options.h"

#include <security/pam_ext.h>
#include <string.h>
#include <syslog.h>

namespace vant_pam {
namespace {

struct Flag {
    const char *name;
    bool Options::*member;
};

constexpr Flag kFlags[] = {
    {"debug", &Options::debug},
    {"use_first_pass", &Options::use_first_pass},
    {"try_first_pass", &Options::try_first_pass},
    {"nullok", &Options::nullok},
};

constexpr const char kRootPrefix[] = "root=";

bool set_flag(Options &o, const char *arg) {
    for (const Flag &f : kFlags) {
        if (strcmp(arg, f.name) == 0) {
            o.*f.member = true;
            return true;
        }
    }
    return false;
}

}  // namespace

Options parse_options(pam_handle_t *pamh, int argc, const char **argv) {
    Options o;
    for (int i = 0; i < argc; ++i) {
        const char *arg = argv[i];
        if (set_flag(o, arg)) continue;
        if (strncmp(arg, kRootPrefix, sizeof kRootPrefix - 1) == 0) {
            o.root = arg + sizeof kRootPrefix - 1;
            continue;
        }
        pam_syslog(pamh, LOG_ERR, "unknown option: %s", arg);
    }
    return o;
}

}  // namespace vant_pam
