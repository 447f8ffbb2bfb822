// The login and password settings of the site, read from
// /etc/default/login and /etc/default/passwd into process-wide settings
// that every login service consults.
#pragma once

#include <optional>
#include <string>

namespace vant::login {

struct LoginSettings {
    std::optional<std::string> console;  // the one terminal user id 0 may log in on
    std::optional<std::string> altshell;
    std::optional<std::string> passreq;
    std::optional<std::string> hertz;
    std::optional<std::string> path;
    std::optional<std::string> supath;
    std::optional<std::string> tz;  // set by no key; taken from the environment
    long ulimit = 0;                // 0: no file size limit is set
    int idleweeks = -1;
    std::string system_console = "console";
    std::optional<std::string> hush;  // "YES" or "NO"
};

struct PasswordSettings {
    bool read = false;  // /etc/default/passwd has been opened once
    int absmin = -1;    // -1: the site sets no minimum length
    int retries = 3;
    bool only1try = true;
    std::optional<std::string> goodpw_prog;
    bool no_goodpw = false;
    bool no_check = false;
    std::optional<std::string> checkdir;
};

LoginSettings &login_settings();
PasswordSettings &password_settings();

// 0 after reading the file, or the reader's nonzero result when it cannot
// be opened (the settings are then left as they were).
int getlgdefaults();
int getpwdefaults();

// Whether the checker program may be run; reported when not.
bool can_run_goodpw(const char *path);
void audit_goodpw(int error, const char *path, const char *what);

// The last component of a path; a trailing '/' is cut from the caller's
// text. A null path, or one without '/', is returned as it is.
char *last_component(char *path);

}  // namespace vant::login
