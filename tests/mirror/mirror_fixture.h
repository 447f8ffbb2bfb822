// A started sandbox with the mirrored files, and a user's fields.
#pragma once

#include <string.h>
#include <sys/time.h>

#include <sstream>
#include <string>

#include "mirror/etc_passwd_files.h"
#include "support/leftovers.h"
#include "support/naps.h"
#include "support/recorder_log.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {

inline constexpr vant_time_t kDay = 86400;
inline constexpr vant_time_t kWeek = 604800;

inline constexpr const char *kPasswd = "/etc/passwd";
inline constexpr const char *kShadow = "/etc/shadow";
inline constexpr const char *kPasswdLock = "/etc/passwd-t";
inline constexpr const char *kShadowLock = "/etc/shadow-t";
inline constexpr const char *kDfltPasswd = "/etc/default/passwd";
inline constexpr const char *kDfltLogin = "/etc/default/login";

class MirrorTest : public StartedTest {
  protected:
    // Dates a file `seconds_ahead` from now.
    void touch(const char *logical, long seconds_ahead) const {
        struct timeval t[2] = {{time(nullptr) + seconds_ahead, 0},
                               {time(nullptr) + seconds_ahead, 0}};
        utimes(box.path(logical).c_str(), t);
    }
    // Whether a failure record delivered so far mentions `text`.
    bool audited_about(const std::string &text) const {
        for (const auto &record : record_arguments(box.recorder_log()))
            for (const auto &arg : record)
                if (arg.find(text) != std::string::npos) return true;
        return false;
    }
};

class PwMirrorTest : public MirrorTest {
  protected:
    void SetUp() override {
        box.write(kShadow,
                  "root:$1$root:19000:0:99999:7:::\ndaemon:*:19000:0:99999:7:::\n"
                  "alice:abcdefghijklm:19000:0:99999:7:::\nbob:nopqrstuvwxyz:19000:1:90\n",
                  0640);
        box.write("/etc/auth/system/files",
                  "/etc/passwd:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n"
                  "/etc/shadow:f_owner=root:f_group=auth:f_mode#0640:f_type=r:chkent:\n",
                  0664);
        MirrorTest::SetUp();
    }
    void TearDown() override { mirror::close_pw_files(); }
};

class DefaultFilesTest : public MirrorTest {
  protected:
    void SetUp() override {
        box.write("/etc/auth/system/files",
                  "/etc/default/*:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n", 0664);
        MirrorTest::SetUp();
    }
};

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
    User &id(vant_id_t v) { return f.u_id = v, set(PR_U_ID); }
    User &lock(int v) { return f.u_lock = static_cast<unsigned char>(v), set(PR_U_LOCK); }
    User &type(vant_mask_t v) { return f.u_type = v, set(PR_U_TYPE); }
    User &retired() { return type(1u << 6); }
    User &succhg(vant_time_t s) { return f.u_succhg = s, set(PR_U_SUCCHG); }
    User &minchg(vant_time_t s) { return f.u_minchg = s, set(PR_U_MINCHG); }
    User &exp(vant_time_t s) { return f.u_exp = s, set(PR_U_EXP); }
    User &suclog(vant_time_t s) { return f.u_suclog = s, set(PR_U_SUCLOG); }
    User &life(vant_time_t s) { return f.u_life = s, set(PR_U_LIFE); }
    User &nullpw(int v) { return f.u_nullpw = static_cast<unsigned char>(v), set(PR_U_NULLPW); }
    bool has(uint32_t bit) const { return PR_ISSET(fl, bit); }

    // The mirrored fields present, with their values.
    std::string text() const {
        std::ostringstream out;
        auto put = [&](uint32_t bit, const char *label, auto value) {
            if (has(bit)) out << label << "=" << value << " ";
        };
        put(PR_U_NAME, "name", f.u_name);
        put(PR_U_ID, "id", f.u_id);
        put(PR_U_LOCK, "lock", int{f.u_lock});
        put(PR_U_TYPE, "type", f.u_type);
        put(PR_U_PWD, "pwd", f.u_pwd);
        put(PR_U_SUCCHG, "succhg", f.u_succhg);
        put(PR_U_MINCHG, "minchg", f.u_minchg);
        put(PR_U_EXP, "exp", f.u_exp);
        put(PR_U_SUCLOG, "suclog", f.u_suclog);
        return out.str();
    }

  private:
    User &set(uint32_t bit) {
        PR_SET(fl, bit);
        return *this;
    }
};

}  // namespace vant::test
