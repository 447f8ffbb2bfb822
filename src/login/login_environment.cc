#include "login/login_environment.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "login/login_defaults.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr const char *kShellDirectory = "/usr/lib/mkuser";
constexpr const char *kTerminalTypes = "/etc/ttytype";
constexpr const char *kDefaultTimeZone = "EST5EDT";
constexpr const char *kDefaultHertz = "100";
constexpr const char *kRootPath = "/bin:/etc:/usr/bin";
constexpr const char *kUserPath = ":/bin:/usr/bin";
constexpr const char *kMailDirectory = "/usr/spool/mail/";
constexpr size_t kTableSize = 20;
constexpr size_t kAreaSize = 5120;
constexpr int kTypeLinePiece = 148;

const char *first_set(std::initializer_list<const char *> choices) {
    for (const char *c : choices)
        if (c != nullptr) return c;
    return nullptr;
}

const char *setting(const std::optional<std::string> &s) {
    return s ? s->c_str() : nullptr;
}

std::string after_last_slash(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool has_shell_directory(const std::string &name) {
    if (name == "lib") return false;
    DIR *dir = platform::open_directory(kShellDirectory);
    if (dir == nullptr) return false;
    bool found = false;
    while (const struct dirent *e = readdir(dir)) {
        if (name != e->d_name) continue;
        struct stat st;
        std::string path = std::string(kShellDirectory) + "/" + e->d_name;
        found = platform::stat_file(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        break;
    }
    closedir(dir);
    return found;
}

// The first word of the /etc/ttytype line whose second word begins with
// the terminal's name.
std::string terminal_type(const char *tty) {
    if (const char *term = getenv("TERM")) return term;
    if (tty == nullptr || tty[0] == '\0') return "unknown";
    FILE *types = platform::fopen_file(kTerminalTypes, "r");
    if (types == nullptr) return "unknown";
    std::string name = after_last_slash(tty), found = "unknown";
    char line[kTypeLinePiece];
    while (fgets(line, sizeof line, types) != nullptr) {
        char *rest = nullptr;
        const char *type = strtok_r(line, " \t\n\r", &rest);
        const char *terminal = type != nullptr ? strtok_r(nullptr, " \t\n\r", &rest) : nullptr;
        if (terminal != nullptr && strncmp(terminal, name.c_str(), name.size()) == 0) {
            found = type;
            break;
        }
    }
    fclose(types);
    return found;
}

std::string time_zone() {
    LoginSettings &s = login_settings();
    if (!s.tz) s.tz = first_set({getenv("TZ"), kDefaultTimeZone});
    return *s.tz;
}

std::string search_path(uid_t uid) {
    const LoginSettings &s = login_settings();
    if (uid == 0) return first_set({setting(s.supath), kRootPath});
    return first_set({setting(s.path), getenv("PATH"), kUserPath});
}

std::vector<std::string> entries_of(const smp_attempt &a, const char *shell, bool with_shell) {
    const LoginSettings &s = login_settings();
    const char *name = a.target.ufld.u_name;
    std::vector<std::string> e;
    e.push_back(std::string("LOGNAME=") + name);
    e.push_back("TZ=" + time_zone());
    e.push_back(std::string("HZ=") + first_set({setting(s.hertz), getenv("HZ"), kDefaultHertz}));
    e.push_back("PATH=" + search_path(a.pw.pw_uid));
    e.push_back(std::string("HOME=") + a.pw.pw_dir);
    e.push_back("TERM=" + terminal_type(a.tty_name));
    if (with_shell) e.push_back(std::string("SHELL=") + shell);
    e.push_back(std::string("MAIL=") + kMailDirectory + name);
    if (s.hush) e.push_back(std::string("HUSHLOGIN=") + (a.hushed ? "TRUE" : "FALSE"));
    return e;
}

// The texts in one area, the area at least as large as callers expect and
// never too small for what it holds.
char **pack(const std::vector<std::string> &entries) {
    size_t needed = 0;
    for (const std::string &e : entries)
        needed += e.size() + 1;
    auto **table = static_cast<char **>(calloc(kTableSize, sizeof(char *)));
    auto *area = static_cast<char *>(malloc(needed > kAreaSize ? needed : kAreaSize));
    if (table == nullptr || area == nullptr) {
        free(table);
        free(area);
        return nullptr;
    }
    char *next = area;
    for (size_t i = 0; i < entries.size(); ++i) {
        memcpy(next, entries[i].c_str(), entries[i].size() + 1);
        table[i] = next;
        next += entries[i].size() + 1;
    }
    return table;
}

}  // namespace

const char *shell_of(const smp_attempt &a) {
    const char *shell = a.pw.pw_shell;
    return shell != nullptr && shell[0] != '\0' ? shell : "/bin/sh";
}

bool exports_shell(const char *shell) {
    const std::optional<std::string> &altshell = login_settings().altshell;
    if (!altshell || *altshell != "NO") return true;
    return has_shell_directory(after_last_slash(shell));
}

char **build_environment(const smp_attempt &a, const char *shell, bool with_shell) {
    try {
        return pack(entries_of(a, shell, with_shell));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

}  // namespace vant::login
