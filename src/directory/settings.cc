#include "directory/settings.h"

#include <fcntl.h>
#include <ldap.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "platform/defaults_file.h"
#include "platform/descriptor.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::directory {
namespace {

constexpr int kMaxSeconds = 3600;
constexpr size_t kMaxSecret = 4096;

struct CertRule {
    std::string_view name;
    int value;
};
constexpr CertRule kCertRules[] = {
    {"never", LDAP_OPT_X_TLS_NEVER},   {"allow", LDAP_OPT_X_TLS_ALLOW}, {"try", LDAP_OPT_X_TLS_TRY},
    {"demand", LDAP_OPT_X_TLS_DEMAND}, {"hard", LDAP_OPT_X_TLS_HARD},
};

std::string value_of(platform::DefaultsFile &file, const char *key) {
    const char *v = file.read(key, platform::kDefaultsCaseSensitive);
    return v != nullptr ? v : "";
}

// A count of seconds from 1 to an hour; an empty value keeps the default.
bool seconds(const std::string &text, int &out) {
    if (text.empty()) return true;
    char *end = nullptr;
    long n = strtol(text.c_str(), &end, 10);
    if (*end != '\0' || text[0] < '0' || text[0] > '9' || n < 1 || n > kMaxSeconds) return false;
    out = static_cast<int>(n);
    return true;
}

bool tls_mode(const std::string &text, Tls &out) {
    if (text.empty() || text == "no") {
        out = Tls::none;
        return true;
    }
    if (text != "start") return false;
    out = Tls::start;
    return true;
}

bool cert_rule(const std::string &text, int &out) {
    if (text.empty()) return true;
    for (const CertRule &r : kCertRules)
        if (text == r.name) {
            out = r.value;
            return true;
        }
    return false;
}

bool fail(std::string &why, const std::string &text) {
    why = text;
    return false;
}

}  // namespace

bool read_settings(const char *path, Settings &s, std::string &why) {
    platform::DefaultsFile file;
    if (!file.open(path)) return fail(why, std::string(path) + " cannot be read");
    s = Settings{};
    s.uri = value_of(file, "URI=");
    std::string base = value_of(file, "BASE=");
    s.user_base = value_of(file, "USER_BASE=");
    s.group_base = value_of(file, "GROUP_BASE=");
    if (s.user_base.empty()) s.user_base = base;
    if (s.group_base.empty()) s.group_base = base;
    s.bind_dn = value_of(file, "BINDDN=");
    s.secret_path = value_of(file, "SECRET=");
    s.tls_ca_file = value_of(file, "TLS_CACERT=");
    if (s.uri.empty()) return fail(why, "URI is missing");
    if (s.user_base.empty() || s.group_base.empty()) return fail(why, "BASE is missing");
    if (!s.bind_dn.empty() && s.secret_path.empty())
        return fail(why, "BINDDN is given without SECRET");
    if (!seconds(value_of(file, "TIMEOUT="), s.timeout_seconds))
        return fail(why, "TIMEOUT is not a number of seconds from 1 to 3600");
    if (!seconds(value_of(file, "RETRY="), s.retry_seconds))
        return fail(why, "RETRY is not a number of seconds from 1 to 3600");
    if (!tls_mode(value_of(file, "TLS="), s.tls)) return fail(why, "TLS is neither no nor start");
    if (!cert_rule(value_of(file, "TLS_REQCERT="), s.tls_require_cert))
        return fail(why, "TLS_REQCERT is not one of never, allow, try, demand, hard");
    return true;
}

bool read_secret(const std::string &path, std::string &secret, std::string &why) {
    platform::Descriptor fd(platform::open_file(path.c_str(), O_RDONLY | O_NOFOLLOW));
    struct stat st;
    if (!fd.is_open() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return fail(why, path + " cannot be read");
    if ((st.st_uid != 0 && st.st_uid != geteuid()) || (st.st_mode & 077) != 0)
        return fail(why, path + " may be read or changed by others than its owner");
    secret.assign(kMaxSecret + 1, '\0');
    ssize_t n = platform::read_full(fd.get(), secret.data(), secret.size());
    if (n < 0 || static_cast<size_t>(n) > kMaxSecret) {
        secret.clear();
        return fail(why, path + " cannot be read whole");
    }
    secret.resize(static_cast<size_t>(n));
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r'))
        secret.pop_back();
    return true;
}

}  // namespace vant::directory
