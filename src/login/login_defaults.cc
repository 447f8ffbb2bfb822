#include "login/login_defaults.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "frame/frame.h"
#include "platform/defaults_file.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr const char *kLoginFile = "/etc/default/login";
constexpr const char *kPasswordFile = "/etc/default/passwd";
constexpr const char *kDefaultChecker = "/usr/bin/goodpw";
constexpr int kMaxPasswordLength = 80;

LoginSettings login_state;
PasswordSettings password_state;

// A copy of the value, or nothing when the key is absent or memory is short.
bool copy_value(std::optional<std::string> &setting, const char *value) {
    setting.reset();
    if (value == nullptr) return false;
    try {
        setting = value;
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void read_login_texts(LoginSettings &s) {
    struct Text {
        const char *key;
        std::optional<std::string> LoginSettings::*setting;
    };
    static constexpr Text kTexts[] = {
        {"CONSOLE=", &LoginSettings::console}, {"ALTSHELL=", &LoginSettings::altshell},
        {"PASSREQ=", &LoginSettings::passreq}, {"HZ=", &LoginSettings::hertz},
        {"PATH=", &LoginSettings::path},       {"SUPATH=", &LoginSettings::supath},
    };
    for (const Text &t : kTexts)
        copy_value(s.*t.setting, platform::defread(t.key));
}

void read_login_values(LoginSettings &s) {
    if (const char *v = platform::defread("ULIMIT=")) s.ulimit = atol(v);
    if (const char *v = platform::defread("IDLEWEEKS=")) s.idleweeks = atoi(v);
    std::optional<std::string> console;
    if (copy_value(console, platform::defread("OVERRIDE="))) s.system_console = *console;
    if (const char *v = platform::defread("ALLOWHUSH="))
        s.hush = strcmp(v, "YES") == 0 ? "YES" : "NO";
}

// A value that cannot be kept is reported, and the messages the report
// stored are dropped so that they do not reach the user as a failure text.
void report_unsaved(const char *value, const char *what) {
    frame::audit_no_resource(value, 6, what);
    frame::get_auth_msg(nullptr);
}

void read_checker(PasswordSettings &s, const char *value) {
    if (strcmp(value, "NONE") == 0) {
        s.no_goodpw = s.no_check = true;
    } else if (strcmp(value, "NO") == 0) {
        s.no_goodpw = true;
    } else if (strcmp(value, "YES") == 0) {
        if (can_run_goodpw(kDefaultChecker)) s.goodpw_prog = kDefaultChecker;
    } else if (can_run_goodpw(value)) {
        std::optional<std::string> copy;
        if (copy_value(copy, value))
            s.goodpw_prog = copy;
        else
            report_unsaved(value, "could not save GOODPW= setting");
    }
}

void read_checkdir(PasswordSettings &s, const char *value) {
    if (value[0] != '/') {
        audit_goodpw(EINVAL, value, "additional checks");
        return;
    }
    std::optional<std::string> copy;
    if (copy_value(copy, value))
        s.checkdir = copy;
    else
        report_unsaved(value, "could not save CHECKDIR= setting");
}

void read_password_values(PasswordSettings &s) {
    if (const char *v = platform::defread("PASSLENGTH=")) {
        int length = atoi(v);
        s.absmin = length <= 0 ? -1 : length > kMaxPasswordLength ? kMaxPasswordLength : length;
    }
    if (const char *v = platform::defread("RETRIES=")) s.retries = atoi(v) < 1 ? 1 : atoi(v);
    if (const char *v = platform::defread("ONETRY=")) s.only1try = v[0] == 'Y' || v[0] == 'y';
    if (const char *v = platform::defread("GOODPW=")) read_checker(s, v);
    if (const char *v = platform::defread("CHECKDIR=")) read_checkdir(s, v);
}

}  // namespace

LoginSettings &login_settings() {
    return login_state;
}

PasswordSettings &password_settings() {
    return password_state;
}

int getlgdefaults() {
    int opened = platform::defopen(kLoginFile);
    if (opened != 0) return opened;
    platform::defcntl(1, platform::defcntl(0, 0) & ~platform::kDefaultsCaseSensitive);
    read_login_texts(login_state);
    read_login_values(login_state);
    return platform::defopen(nullptr);
}

int getpwdefaults() {
    int opened = platform::defopen(kPasswordFile);
    if (opened != 0) return opened;
    password_state.read = true;
    read_password_values(password_state);
    return platform::defopen(nullptr);
}

bool can_run_goodpw(const char *path) {
    int error = EINVAL;
    if (path != nullptr && path[0] == '/') {
        if (platform::access_file(path, X_OK) == 0) return true;
        error = errno;
    }
    audit_goodpw(error, path, "binary");
    return false;
}

void audit_goodpw(int error, const char *path, const char *what) {
    char text[128];
    snprintf(text, sizeof text, "The goodpw %s file is missing", what);
    frame::audit_security_failure(1, 0, static_cast<unsigned long>(error), text, path);
}

char *last_component(char *path) {
    if (path == nullptr) return path;
    char *slash;
    while ((slash = strrchr(path, '/')) != nullptr) {
        if (slash[1] != '\0')
            path = slash + 1;
        else
            *slash = '\0';
    }
    return path;
}

}  // namespace vant::login
