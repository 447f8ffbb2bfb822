// A sandbox for the Protected Password database: declared authorizations,
// File Control entries for every file an update creates, per-letter
// directories, /etc/shadow beside /etc/passwd, and the audit trail
// recorded.
#pragma once

#include <pwd.h>
#include <shadow.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {

inline constexpr const char *kPrpwShadow =
    "root:$1$rootpw:19000:0:99999:7:::\n"
    "daemon:*:19000:0:99999:7:::\n"
    "auth:*:19000:0:99999:7:::\n"
    "alice:abcdefghijklm:19000:0:99999:7:::\n"
    "bob:nopqrstuvwxyz:19000:0:99999:7:::\n";

inline constexpr const char *kPrpwFileControl =
    "/tcb/files/auth/?/*:f_mode#0660:f_type=r:chkent:\n"
    "/etc/passwd:f_mode#0644:f_type=r:chkent:\n"
    "/etc/shadow:f_mode#0640:f_type=r:chkent:\n"
    "/etc/auth/subsystems/*:f_mode#0640:f_type=r:chkent:\n";

// Four command privileges: audit, audittrail, auth, su.
inline constexpr const char *kPrpwAuthorize = "audit:audittrail\nauth:su\n";

inline constexpr vant_mask_t kRootType = 1u << 0;
inline constexpr vant_mask_t kGeneralType = 1u << 5;
inline constexpr vant_mask_t kRetiredType = 1u << 6;

class PrpwTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/shadow", kPrpwShadow, 0640);
        box.write("/etc/auth/system/files", kPrpwFileControl, 0664);
        box.write("/etc/auth/system/authorize", kPrpwAuthorize);
        for (const char *letter : {"a", "b", "c", "r"})
            box.mkdir(std::string(kAuth) + letter);
        defaults("u_maxlen#8");
        box.install_recorder();
        static char program[] = "prpwtest";
        static char *argv[] = {program, nullptr};
        ASSERT_EQ(set_auth_parameters(1, argv), 0);
    }

    static constexpr const char *kAuth = "/tcb/files/auth/";
    static std::string entry_path(const std::string &name) {
        return kAuth + name.substr(0, 1) + "/" + name;
    }

    void defaults(const std::string &fields) const {
        box.write("/etc/auth/system/default", "default:d_name=default:" + fields + ":chkent:\n",
                  0664);
    }
    // Mirroring on; integrity and authority as given.
    void mirroring(bool integrity, bool authority, const std::string &more = "") const {
        std::string f = integrity ? "u_integrity" : "u_integrity@";
        if (!authority) f += ":u_tcbpw@";
        if (!more.empty()) f += ":" + more;
        defaults(f);
    }
    void entry(const std::string &name, const std::string &fields) const {
        box.write(entry_path(name), name + ":u_name=" + name + ":" + fields + ":chkent:\n", 0660);
    }

    // The files as the C library's own readers see them.
    std::vector<std::string> passwd_lines() const { return lines("/etc/passwd"); }
    std::vector<std::string> shadow_lines() const { return lines("/etc/shadow"); }
    std::vector<std::string> lines(const std::string &logical) const {
        return lines_of(box.read(logical));
    }
    static std::vector<std::string> lines_of(const std::string &text) {
        std::vector<std::string> all;
        size_t start = 0;
        for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            all.push_back(text.substr(start, nl - start));
        EXPECT_EQ(start, text.size()) << "a text ends without a newline";
        return all;
    }
    std::vector<std::string> passwd_users() const {
        std::vector<std::string> names;
        FILE *f = fopen(box.path("/etc/passwd").c_str(), "r");
        if (f == nullptr) return names;
        while (struct passwd *pw = fgetpwent(f))
            names.push_back(pw->pw_name);
        fclose(f);
        return names;
    }
    // name -> password, in file order
    std::vector<std::pair<std::string, std::string>> shadow_users() const {
        std::vector<std::pair<std::string, std::string>> all;
        FILE *f = fopen(box.path("/etc/shadow").c_str(), "r");
        if (f == nullptr) return all;
        while (struct spwd *sp = fgetspent(f))
            all.emplace_back(sp->sp_namp, sp->sp_pwdp);
        fclose(f);
        return all;
    }
    std::string shadow_password(const std::string &name) const {
        for (const auto &[n, p] : shadow_users())
            if (n == name) return p;
        return "<none>";
    }

    bool audited(const std::string &text) const {
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (std::find(d.args.begin(), d.args.end(), text) != d.args.end()) return true;
        return false;
    }
    // Whether a "cannot update entry" record names that object code.
    bool update_failure_reported(int code) const {
        for (const Delivery &d : read_deliveries(box.recorder_log())) {
            bool failure =
                std::find(d.args.begin(), d.args.end(), "cannot update entry") != d.args.end();
            bool object =
                std::find(d.args.begin(), d.args.end(), std::to_string(code)) != d.args.end();
            if (failure && object) return true;
        }
        return false;
    }
    void expect_no_transition_files(const std::string &name) const {
        EXPECT_FALSE(box.exists(entry_path(name) + "-t"));
        EXPECT_FALSE(box.exists(entry_path(name) + "-o"));
        EXPECT_FALSE(box.exists("/etc/passwd-t"));
        EXPECT_FALSE(box.exists("/etc/shadow-t"));
    }
};

// A record built field by field.
struct Record {
    struct pr_passwd pr {};
    Record &name(const char *n) {
        snprintf(pr.ufld.u_name, sizeof pr.ufld.u_name, "%s", n);
        return set(PR_U_NAME);
    }
    Record &id(vant_id_t v) {
        pr.ufld.u_id = v;
        return set(PR_U_ID);
    }
    Record &pwd(const char *p) {
        snprintf(pr.ufld.u_pwd, sizeof pr.ufld.u_pwd, "%s", p);
        return set(PR_U_PWD);
    }
    Record &type(vant_mask_t t) {
        pr.ufld.u_type = t;
        return set(PR_U_TYPE);
    }
    Record &cmdpriv(vant_mask_t m) {
        pr.ufld.u_cmdpriv = m;
        return set(PR_U_CMDPRIV);
    }
    Record &set(uint32_t bit) {
        PR_SET(pr.uflg, bit);
        return *this;
    }
};

}  // namespace vant::test
