// slapd for tests and benchmarks, on 127.0.0.1 at a free port, with its
// configuration and database in a temporary directory.
#pragma once

#include <sys/types.h>

#include <string>

namespace vant::test {

inline constexpr const char *kDirectorySuffix = "dc=example,dc=org";
inline constexpr const char *kDirectoryAdmin = "cn=admin,dc=example,dc=org";
inline constexpr const char *kDirectorySecret = "admin-secret";

// Users userNNNN (uid 20000 + N, password `crypted`), groups groupNNN
// (gid 30000 + N, the first three users as members).
std::string directory_ldif(int users, int groups, const std::string &crypted);

class SlapdServer {
  public:
    SlapdServer() = default;
    ~SlapdServer() { stop(); }
    SlapdServer(const SlapdServer &) = delete;
    SlapdServer &operator=(const SlapdServer &) = delete;

    // Loads the LDIF, then `unchecked` (entries no schema allows) without
    // schema checks, and starts; false, with the reason in `why`, when a
    // step fails.
    bool start(const std::string &ldif, const std::string &unchecked, std::string &why);
    void stop();
    std::string uri() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace vant::test
