// One sandbox for every database: File Control entries, a System Default
// entry, declared authorizations, per-letter Protected Password directories,
// /etc/shadow, the audit trail recorded. DatabasesTest adds the system
// databases' entries to the plainer PrpwTest.
#pragma once

#include <pwd.h>
#include <shadow.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/leftovers.h"
#include "support/naps.h"
#include "support/recorder_log.h"
#include "support/records.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {

inline constexpr const char *kFiles = "/etc/auth/system/files";
inline constexpr const char *kTtys = "/etc/auth/system/ttys";
inline constexpr const char *kDevassign = "/etc/auth/system/devassign";
inline constexpr const char *kAuthGrants = "/etc/auth/subsystems/auth";
inline constexpr const char *kDefaultUsers = "/etc/auth/subsystems/dflt_users";

inline constexpr const char *kPrpwFileControl =
    "/tcb/files/auth/?/*:f_mode#0660:f_type=r:chkent:\n"
    "/etc/passwd:f_mode#0644:f_type=r:chkent:\n"
    "/etc/shadow:f_mode#0640:f_type=r:chkent:\n"
    "/etc/auth/subsystems/*:f_mode#0640:f_type=r:chkent:\n";
inline constexpr const char *kFileControl =
    "/etc/auth/system/files-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/etc/auth/system/ttys-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/etc/auth/system/devassign-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/etc/auth/system/default-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n"
    "/tcb/files/auth/?/*:f_group=auth:f_mode#0660:f_type=r:chkent:\n"
    "/etc/passwd:f_mode#0644:f_type=r:chkent:\n"
    "/etc/shadow:f_mode#0640:f_type=r:chkent:\n"
    "/etc/default/*:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n"
    "/etc/auth/subsystems/*:f_mode#0640:f_type=r:chkent:\n";

inline constexpr const char *kShadow =
    "root:$1$rootpw:19000:0:99999:7:::\n"
    "daemon:*:19000:0:99999:7:::\n"
    "auth:*:19000:0:99999:7:::\n"
    "alice:abcdefghijklm:19000:0:99999:7:::\n"
    "bob:nopqrstuvwxyz:19000:0:99999:7:::\n";

// Four command privileges: audit 0, audittrail 1, auth 2, su 3.
inline constexpr const char *kAuthorize = "audit:audittrail\nauth:su\n";

inline constexpr vant_mask_t kRootType = 1u << 0;
inline constexpr vant_mask_t kGeneralType = 1u << 5;

class PrpwTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write(kFiles, file_control, 0664);
        box.write("/etc/shadow", kShadow, 0640);
        box.write("/etc/auth/system/authorize", kAuthorize);
        for (const char *letter : {"a", "b", "c", "r", "u"})
            box.mkdir(std::string("/tcb/files/auth/") + letter);
        defaults(default_fields);
        ASSERT_EQ(start(box, {.program = "dbtest"}), 0);
    }
    const char *file_control = kPrpwFileControl;
    const char *default_fields = "u_maxlen#8";

    static std::string entry_path(const std::string &name) { return prpw_path(name); }
    void entry(const std::string &name, const std::string &fields) const {
        write_prpw(box, name, fields);
    }
    void defaults(const std::string &fields) const { write_system_default(box, fields); }
    void mirroring(bool integrity, bool authority, const std::string &more = "") const {
        std::string f = integrity ? "u_integrity" : "u_integrity@";
        if (!authority) f += ":u_tcbpw@";
        defaults(more.empty() ? f : f + ":" + more);
    }

    std::vector<std::vector<std::string>> audited() const {
        return record_arguments(box.recorder_log());
    }
    bool audited(const std::string &object, int code) const {
        for (const auto &r : audited())
            if (r.size() == 3 && r[0] == std::to_string(code) && r[1] == object) return true;
        return false;
    }
    bool audited(const std::string &text) const {
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (std::find(d.args.begin(), d.args.end(), text) != d.args.end()) return true;
        return false;
    }

    // As the C library's own readers see them.
    std::vector<std::string> passwd_users() const {
        std::vector<std::string> names;
        if (FILE *f = fopen(box.path("/etc/passwd").c_str(), "r")) {
            while (struct passwd *pw = fgetpwent(f))
                names.push_back(pw->pw_name);
            fclose(f);
        }
        return names;
    }
    std::vector<std::pair<std::string, std::string>> shadow_users() const {
        std::vector<std::pair<std::string, std::string>> all;
        if (FILE *f = fopen(box.path("/etc/shadow").c_str(), "r")) {
            while (struct spwd *sp = fgetspent(f))
                all.emplace_back(sp->sp_namp, sp->sp_pwdp);
            fclose(f);
        }
        return all;
    }
    std::string shadow_password(const std::string &name) const {
        for (const auto &[n, p] : shadow_users())
            if (n == name) return p;
        return "<none>";
    }
};

class DatabasesTest : public PrpwTest {
  protected:
    DatabasesTest() {
        file_control = kFileControl;
        default_fields =
            "u_maxlen#8:t_maxtries#5:t_logdelay#2:t_login_timeout#30:v_type=terminal:"
            "v_users=root";
    }
};

// What a codec's store wrote, after "FAILED " if it failed.
template <typename Store>
std::string stored_text(Store store) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    int ok = store(out);
    fclose(out);
    std::string result = (ok == 1 ? "" : "FAILED ") + std::string(text, size);
    free(text);
    return result;
}

// A Protected Password record with a name, a password and an id unless
// the id is negative.
inline struct pr_passwd user_record(const std::string &name, long id, const std::string &pwd) {
    struct pr_passwd pr {};
    snprintf(pr.ufld.u_name, sizeof pr.ufld.u_name, "%s", name.c_str());
    snprintf(pr.ufld.u_pwd, sizeof pr.ufld.u_pwd, "%s", pwd.c_str());
    pr.ufld.u_id = static_cast<vant_id_t>(id);
    for (uint32_t bit : {PR_U_NAME, PR_U_PWD, id < 0 ? 0u : PR_U_ID})
        PR_SET(pr.uflg, bit);
    return pr;
}

}  // namespace vant::test
