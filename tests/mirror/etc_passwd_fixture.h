// What the tests of the /etc/passwd and /etc/shadow mirroring share: the
// stand-in for nap, a sandbox with both files, and records built field by
// field.
#pragma once

#include <string.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "mirror/etc_passwd_files.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {

// Every delay the library asked of nap; `each` runs after each one, with
// their count so far. Naps are never slept.
struct NapLog {
    std::vector<long> delays;
    std::function<void(size_t)> each;
};
extern NapLog naps;

inline constexpr vant_time_t kDay = 86400;
inline constexpr vant_time_t kWeek = 604800;

inline constexpr const char *kPasswd = "/etc/passwd";
inline constexpr const char *kShadow = "/etc/shadow";
inline constexpr const char *kPasswdLock = "/etc/passwd-t";
inline constexpr const char *kShadowLock = "/etc/shadow-t";

inline constexpr const char *kShadowText =
    "root:$1$root:19000:0:99999:7:::\n"
    "daemon:*:19000:0:99999:7:::\n"
    "alice:abcdefghijklm:19000:0:99999:7:::\n"
    "bob:nopqrstuvwxyz:19000:1:90\n";

inline char kPwProgram[] = "pwtest";
inline char *kPwArgv[] = {kPwProgram, nullptr};

class PwMirrorTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write(kShadow, kShadowText, 0640);
        box.write("/etc/auth/system/files",
                  "/etc/passwd:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n"
                  "/etc/shadow:f_owner=root:f_group=auth:f_mode#0640:f_type=r:chkent:\n",
                  0664);
        box.install_recorder();
        naps = {};
        ASSERT_EQ(set_auth_parameters(1, kPwArgv), 0);
    }
    void TearDown() override { mirror::close_pw_files(); }

    using Stamp = Sandbox::Stamp;
    Stamp stamp(const std::string &logical) const { return box.stamp(logical); }
    // The arguments of every failure record delivered so far.
    std::vector<std::vector<std::string>> audited() const {
        return record_arguments(box.recorder_log());
    }
    bool audited_about(const std::string &text) const {
        for (const auto &record : audited())
            for (const auto &arg : record)
                if (arg.find(text) != std::string::npos) return true;
        return false;
    }
};

// A user's fields, built field by field.
struct User {
    pr_field f{};
    pr_flag fl{};

    User &name(const char *n) {
        strncpy(f.u_name, n, sizeof f.u_name - 1);
        return set(PR_U_NAME);
    }
    User &pwd(const char *p) {
        strncpy(f.u_pwd, p, sizeof f.u_pwd - 1);
        return set(PR_U_PWD);
    }
    User &id(vant_id_t v) {
        f.u_id = v;
        return set(PR_U_ID);
    }
    User &lock(int v) {
        f.u_lock = static_cast<unsigned char>(v);
        return set(PR_U_LOCK);
    }
    User &type(vant_mask_t v) {
        f.u_type = v;
        return set(PR_U_TYPE);
    }
    User &retired() { return type(1u << 6); }
    User &succhg(vant_time_t s) { return time(&pr_field::u_succhg, PR_U_SUCCHG, s); }
    User &minchg(vant_time_t s) { return time(&pr_field::u_minchg, PR_U_MINCHG, s); }
    User &exp(vant_time_t s) { return time(&pr_field::u_exp, PR_U_EXP, s); }
    User &suclog(vant_time_t s) { return time(&pr_field::u_suclog, PR_U_SUCLOG, s); }
    bool has(uint32_t bit) const { return PR_ISSET(fl, bit); }

  private:
    User &set(uint32_t bit) {
        PR_SET(fl, bit);
        return *this;
    }
    User &time(vant_time_t pr_field::*field, uint32_t bit, vant_time_t s) {
        f.*field = s;
        return set(bit);
    }
};

}  // namespace vant::test
