// A real directory server for tests and benchmarks: slapd with its
// configuration and database in a temporary directory, on 127.0.0.1 at a
// free port, loaded from generated LDIF and stopped with its owner.
#pragma once

#include <sys/types.h>

#include <string>

namespace vant::test {

inline constexpr const char *kDirectorySuffix = "dc=example,dc=org";
inline constexpr const char *kDirectoryAdmin = "cn=admin,dc=example,dc=org";
inline constexpr const char *kDirectorySecret = "admin-secret";

// The users userNNNN (uid 20000 + N, group 100, password "{CRYPT}" +
// `crypted`) and the groups groupNNN (gid 30000 + N, the first users as
// members).
std::string directory_ldif(int users, int groups, const std::string &crypted);

// A plain LDIF entry of one user.
std::string user_ldif(const std::string &name, long uid, const std::string &crypted);

class SlapdServer {
  public:
    SlapdServer() = default;
    ~SlapdServer() { stop(); }
    SlapdServer(const SlapdServer &) = delete;
    SlapdServer &operator=(const SlapdServer &) = delete;

    // Loads the LDIF, then `unchecked` (entries no schema allows) without
    // schema checks, and starts the server; false (with the reason in
    // `why`) when any step fails.
    bool start(const std::string &ldif, const std::string &unchecked, std::string &why);
    void stop();
    std::string uri() const;

  private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listens on at the moment.
int free_port();

}  // namespace vant::test
