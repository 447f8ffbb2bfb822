#include "login/checker.h"

#include <signal.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/messages.h"
#include "login/login_defaults.h"
#include "passwords/wipe.h"
#include "platform/child_program.h"

namespace vant::login {
namespace {

constexpr const char *kDefaultCheckDir = "/usr/lib/goodpw/checks";
constexpr size_t kRemembered = 100;
constexpr size_t kLongestReply = 1024;
// A checker that does not answer within this time is taken for dead.
constexpr int kReplyMilliseconds = 30000;

struct Checker {
    std::unique_ptr<platform::ChildProgram> child;
    std::string rules;
    std::vector<std::string> tried;
    bool strict = false;
    std::string reason;
};

Checker &checker() {
    static Checker c;
    return c;
}

const char *kind_name(int kind) {
    switch (kind) {
        case 1:
            return "modem";
        case 2:
            return "filsys";
        case 3:
            return "group";
        default:
            return "user";
    }
}

// Runs in the child: the checker works with the invoking user's ids.
void take_caller_ids() {
    if (setgid(frame::starting_rgid()) != 0 || setuid(frame::starting_ruid()) != 0) _exit(128);
}

bool start_checker() {
    Checker &c = checker();
    const auto &program = password_settings().goodpw_prog;
    if (!program) return false;
    if (c.child) return true;
    const char *argv[] = {program->c_str(), "-m", "-d", c.rules.c_str(), nullptr};
    auto child = std::make_unique<platform::ChildProgram>();
    if (!child->start({program->c_str(), argv, nullptr, platform::ChildStream::pipe,
                       platform::ChildStream::pipe, take_caller_ids}))
        return false;
    c.child = std::move(child);
    return true;
}

void forget_tried() {
    for (std::string &p : checker().tried)
        passwords::wipe(p.data(), p.size());
    checker().tried.clear();
}

bool send_request(const char *password, const char *current) {
    std::string request = std::string(password) + "\n";
    if (current != nullptr && current[0] != '\0') request += std::string(current) + "\n";
    for (const std::string &p : checker().tried)
        request += p + "\n";
    request += "\n";
    bool sent = checker().child->send(request.data(), request.size());
    passwords::wipe(request.data(), request.size());
    return sent;
}

// One line of reply, without its newline; false when none came whole.
bool read_reply(std::string &line) {
    platform::ChildProgram &child = *checker().child;
    char c;
    while (line.size() < kLongestReply && child.output_ready(kReplyMilliseconds) &&
           child.receive(&c, 1) == 1) {
        if (c == '\n') return true;
        line += c;
    }
    return false;
}

}  // namespace

bool checker_running() {
    return checker().child != nullptr;
}

bool strict_checks() {
    return checker().strict;
}

void stop_checker() {
    Checker &c = checker();
    if (!c.child) return;
    struct sigaction ignore = {}, hup, intr, quit;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &hup);
    sigaction(SIGINT, &ignore, &intr);
    sigaction(SIGQUIT, &ignore, &quit);
    int status;
    c.child->wait(status);
    sigaction(SIGHUP, &hup, nullptr);
    sigaction(SIGINT, &intr, nullptr);
    sigaction(SIGQUIT, &quit, nullptr);
    c.child.reset();
}

int goodpw_set_checks(int kind, bool strict) {
    if (!password_settings().read) getpwdefaults();
    Checker &c = checker();
    c.strict = strict;
    const PasswordSettings &s = password_settings();
    if (s.no_goodpw) return 0;
    c.rules = s.checkdir.value_or(kDefaultCheckDir) + "/" + kind_name(kind) + "/" +
              (strict ? "secure" : "weak");
    forget_tried();
    stop_checker();
    return start_checker() ? 0 : 18;
}

int run_goodpw(const char *password, const char *current, const char **text) {
    Checker &c = checker();
    if (!c.child) return 18;
    bool sent = send_request(password, current);
    if (sent && password_settings().only1try && password[0] != '\0' && c.tried.size() < kRemembered)
        c.tried.emplace_back(password);
    std::string line;
    if (!sent || !read_reply(line)) {
        stop_checker();
        return 18;
    }
    c.reason = line.size() > 1 ? line.substr(1) : "";
    if (!c.reason.empty() && c.reason.back() == '.') c.reason.pop_back();
    if (!c.reason.empty()) *text = c.reason.c_str();
    return line[0] == 'g' ? 12 : 13;
}

}  // namespace vant::login
