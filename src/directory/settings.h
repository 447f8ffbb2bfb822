// The site's directory settings: /etc/vant/directory.conf, lines of the
// form KEY=value (see vant-directory(5)), and the bind secret it names.
#pragma once

#include <string>

namespace vant::directory {

// The configuration file, a logical path (under the root when one is in force).
inline constexpr const char *kSettingsPath = "/etc/vant/directory.conf";

enum class Tls { none, start };

struct Settings {
    std::string uri;
    std::string user_base;
    std::string group_base;
    std::string bind_dn;
    std::string secret_path;
    int timeout_seconds = 3;  // each step: connect, bind, one search, one change
    int retry_seconds = 30;   // how long an unreachable server is left alone
    Tls tls = Tls::none;
    std::string tls_ca_file;    // a logical path
    int tls_require_cert = -1;  // libldap's value; -1 keeps the library's own
};

// The settings of the file at `path`; false, with `why` saying what is
// wrong, when the file cannot be read or a value is malformed or missing.
bool read_settings(const char *path, Settings &settings, std::string &why);

// The bind secret, from a file that only its owner (root, or the process's
// own effective user) may read or change; false, with `why`, otherwise.
// A trailing newline is not part of the secret.
bool read_secret(const std::string &path, std::string &secret, std::string &why);

}  // namespace vant::directory
