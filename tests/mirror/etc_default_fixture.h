// What the tests of the /etc/default mirroring and of the System Default
// database share: a sandbox whose File Control database lists the files
// the updates create, and records built field by field.
#pragma once

#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>

#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {

inline constexpr vant_time_t kWeek = 604800;

inline constexpr const char *kDefaultDb = "/etc/auth/system/default";
inline constexpr const char *kDefaultPasswd = "/etc/default/passwd";
inline constexpr const char *kDefaultLogin = "/etc/default/login";

inline char kDfltProgram[] = "dflttest";
inline char *kDfltArgv[] = {kDfltProgram, nullptr};

class DefaultFilesTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/auth/system/files",
                  "/etc/auth/system/default-t:f_owner=root:f_group=auth:f_mode#0664:"
                  "f_type=r:chkent:\n"
                  "/etc/default/*:f_owner=root:f_group=root:f_mode#0644:f_type=r:chkent:\n",
                  0664);
        box.write("/etc/auth/system/authorize", "auth:su,passwd\n");
        box.install_recorder();
        ASSERT_EQ(set_auth_parameters(1, kDfltArgv), 0);
    }

    // Moves a file's times to `seconds` from now.
    void move_time(const std::string &logical, long seconds) const {
        struct timeval t[2] = {{time(nullptr) + seconds, 0}, {time(nullptr) + seconds, 0}};
        ASSERT_EQ(utimes(box.path(logical).c_str(), t), 0) << logical;
    }

    using Stamp = Sandbox::Stamp;
    Stamp stamp(const std::string &logical) const { return box.stamp(logical); }
    // The failure records delivered: code, object and text.
    std::vector<std::vector<std::string>> audited() const {
        return record_arguments(box.recorder_log());
    }
};

// The user defaults, built field by field.
struct Defaults {
    pr_field f{};
    pr_flag fl{};

    Defaults &minchg(vant_time_t s) { return set(PR_U_MINCHG, f.u_minchg = s); }
    Defaults &exp(vant_time_t s) { return set(PR_U_EXP, f.u_exp = s); }
    Defaults &life(vant_time_t s) { return set(PR_U_LIFE, f.u_life = s); }
    Defaults &nullpw(int v) { return set(PR_U_NULLPW, f.u_nullpw = static_cast<unsigned char>(v)); }
    Defaults &integrity(int v) {
        return set(PR_U_INTEGRITY, f.u_integrity = static_cast<unsigned char>(v));
    }
    Defaults &tcbpw(int v) { return set(PR_U_TCBPW, f.u_tcbpw = static_cast<unsigned char>(v)); }
    Defaults &maxlen(int v) { return set(PR_U_MAXLEN, f.u_maxlen = v); }

    bool has(uint32_t field) const { return PR_ISSET(fl, field); }
    bool same_fields_as(const Defaults &other) const {
        return memcmp(&fl, &other.fl, sizeof fl) == 0;
    }

  private:
    template <typename T>
    Defaults &set(uint32_t field, T) {
        PR_SET(fl, field);
        return *this;
    }
};

}  // namespace vant::test
