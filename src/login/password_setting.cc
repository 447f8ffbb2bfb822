// Storing a new password: encrypted with a fresh salt into the Protected
// Password entry, and handed to the NIS password program where the system
// is an NIS client.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "frame/frame.h"
#include "login/attempt.h"
#include "login/checker.h"
#include "login/entry_updates.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "passwords/passwords.h"
#include "passwords/wipe.h"
#include "platform/child_program.h"
#include "platform/clock.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr char kSaltAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr const char *kNisProgram = "/etc/yp/yppwd";

void mksalt(char salt[3]) {
    unsigned long v = static_cast<unsigned long>(platform::now()) + getpid();
    salt[0] = kSaltAlphabet[v & 077];
    salt[1] = kSaltAlphabet[(v >> 6) & 077];
    salt[2] = '\0';
}

// NIS keeps passwords only where its password program stands in for the
// system's own.
bool nis_in_use() {
    struct stat a, b;
    return platform::stat_file("/bin/yppasswd", &a) == 0 &&
           platform::stat_file("/bin/passwd", &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// The NIS program is run directly, never through a shell: the user name is
// an argument of its own, whatever characters it holds.
int call_yp(smp_attempt &a, bool no_current, char *current, const char *new_crypt) {
    if (!nis_in_use()) return 0;
    std::string plain = current != nullptr ? std::string(current).substr(0, 80) : "";
    std::string crypted = new_crypt;
    if (PR_ISSET(a.target.sflg, PR_U_PWSEG) && a.target.sfld.u_pwseg > 0) {
        size_t segments = static_cast<size_t>(a.target.sfld.u_pwseg);
        size_t counted = segments * passwords::kSegmentLength;
        if (plain.size() > counted) plain.resize(counted);
        crypted = crypted.substr(0, passwords::cipher_length(segments));
    }
    std::string request = (no_current ? "1\n" : "0\n") + plain + "\n" + crypted + "\n";
    const char *argv[] = {"yppwd", a.target.ufld.u_name, nullptr};
    platform::ChildProgram nis;
    int status = -1;
    bool sent = false;
    if (nis.start({kNisProgram, argv, nullptr, platform::ChildStream::pipe,
                   platform::ChildStream::inherited})) {
        sent = nis.send(request.data(), request.size());
        nis.end_input();
        nis.wait(status);
    }
    passwords::wipe(request.data(), request.size());
    passwords::wipe(plain.data(), plain.size());
    if (current != nullptr) passwords::wipe(current, strlen(current));
    return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : SMP_FAIL;
}

void store_password(pr_passwd &r, const char *crypted) {
    memset(r.ufld.u_pwd, 0, sizeof r.ufld.u_pwd);
    if (crypted[0] == '\0') {
        PR_CLR(r.uflg, PR_U_PWD);
        return;
    }
    strncpy(r.ufld.u_pwd, crypted, sizeof r.ufld.u_pwd - 1);
    PR_SET(r.uflg, PR_U_PWD);
}

int fail(char **text, const char *message) {
    *text = const_cast<char *>(message);
    return SMP_FAIL;
}

int set_password(smp_attempt &a, char *password, char *again, int *retries, char **text) {
    bool had_current = a.entered_pw[0] != '\0' && has_password(a.target);
    if (strcmp(password, again) != 0) {
        if (retries != nullptr) --*retries;
        return SMP_PW_MISMATCH;
    }
    passwords::wipe(again, strlen(again));
    std::string crypted;
    if (password[0] != '\0') {
        char salt[3];
        mksalt(salt);
        crypted = passwords::bigcryptmax(password, salt);
        passwords::wipe(password, strlen(password));
    }
    store_password(a.target, crypted.c_str());
    if (call_yp(a, !had_current, a.entered_pw, crypted.c_str()) != 0)
        return fail(text, frame::text_of(frame::msg_smpm_nisfail));
    passwords::wipe(a.entered_pw, sizeof a.entered_pw);
    if (a.nis == 0) {
        auto now = static_cast<vant_time_t>(platform::now());
        auto change = [&](pr_passwd &r) {
            store_password(r, crypted.c_str());
            r.ufld.u_succhg = now;
            PR_SET(r.uflg, PR_U_SUCCHG);
        };
        change(a.target);
        if (!update_user_entry(a.target.ufld.u_name, change))
            return fail(text, get_fail_msg(frame::msg_smpm_nowprpw));
    }
    frame::audit_passwd(&a.target, 1);
    stop_checker();
    return SMP_DONE;
}

}  // namespace

int smp_set_pw(char *password, char *again, smp_attempt *attempt, int *retries, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    text = text_slot(text);
    if (password == nullptr || again == nullptr) return finish(attempt, SMP_PW_MISMATCH);
    return finish(attempt, set_password(*attempt, password, again, retries, text));
}

}  // namespace vant::login
