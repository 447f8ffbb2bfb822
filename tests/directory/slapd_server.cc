#include "directory/slapd_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace vant::test {
namespace {

// Starts a program, its complaints on the test's own output; a `tied` one
// ends with the test.
pid_t spawn(const std::vector<std::string> &args, bool tied) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (tied) prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Whether something answers on 127.0.0.1 at `port`; with port 0, a port
// that nothing listens on now.
int loopback(int port) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t n = sizeof a;
    auto *any = reinterpret_cast<sockaddr *>(&a);
    int result = port != 0 ? connect(s, any, n) == 0
                           : (bind(s, any, n), getsockname(s, any, &n), ntohs(a.sin_port));
    close(s);
    return result;
}

}  // namespace

std::string directory_ldif(int users, int groups, const std::string &crypted) {
    std::ostringstream l;
    l << "dn: " << kDirectorySuffix << "\nobjectClass: dcObject\nobjectClass: organization\n"
      << "o: example\ndc: example\n\n";
    for (const char *ou : {"people", "groups"})
        l << "dn: ou=" << ou << "," << kDirectorySuffix
          << "\nobjectClass: organizationalUnit\nou: " << ou << "\n\n";
    char name[32];
    for (int i = 1; i <= users; ++i) {
        snprintf(name, sizeof name, "user%04d", i);
        l << "dn: uid=" << name << ",ou=people," << kDirectorySuffix << "\n"
          << "objectClass: account\nobjectClass: posixAccount\nobjectClass: shadowAccount\n"
          << "uid: " << name << "\ncn: " << name << "\nuidNumber: " << 20000 + i
          << "\ngidNumber: 100\ngecos: Directory user " << name << "\nhomeDirectory: /home/" << name
          << "\nloginShell: /bin/sh\nuserPassword: {CRYPT}" << crypted
          << "\nshadowLastChange: 19000\n\n";
    }
    for (int i = 1; i <= groups; ++i) {
        snprintf(name, sizeof name, "group%03d", i);
        l << "dn: cn=" << name << ",ou=groups," << kDirectorySuffix
          << "\nobjectClass: posixGroup\ncn: " << name << "\ngidNumber: " << 30000 + i
          << "\nmemberUid: user0001\nmemberUid: user0002\nmemberUid: user0003\n\n";
    }
    return l.str();
}

bool SlapdServer::start(const std::string &ldif, const std::string &unchecked, std::string &why) {
    char templ[] = "/tmp/vant-slapd-XXXXXX";
    if (mkdtemp(templ) == nullptr) return why = "no temporary directory", false;
    dir_ = templ;
    std::filesystem::create_directory(dir_ + "/db");
    std::string conf = dir_ + "/slapd.conf", data = dir_ + "/data.ldif";
    std::ofstream c(conf);
    for (const char *schema : {"core", "cosine", "nis", "inetorgperson"})
        c << "include /etc/ldap/schema/" << schema << ".schema\n";
    c << "modulepath /usr/lib/ldap\nmoduleload back_mdb\npidfile " << dir_ << "/slapd.pid\n"
      << "sizelimit 500\ndatabase mdb\nmaxsize 268435456\nsuffix \"" << kDirectorySuffix
      << "\"\nrootdn \"" << kDirectoryAdmin << "\"\nrootpw " << kDirectorySecret << "\ndirectory "
      << dir_ << "/db\nindex uid,cn,uidNumber,gidNumber,objectClass eq\n"
      << "access to attrs=userPassword by self write by anonymous auth by * none\n"
      << "access to * by * read\n";
    if (!c.flush()) return why = "cannot write the configuration", false;
    int status = -1;
    for (const std::string *part : {&ldif, &unchecked}) {
        if (part->empty()) continue;
        std::ofstream(data) << *part;
        std::vector<std::string> args = {"/usr/sbin/slapadd", "-q", "-f", conf, "-l", data};
        if (part == &unchecked) args.insert(args.begin() + 1, "-s");  // no schema checks
        waitpid(spawn(args, false), &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return why = "slapadd failed", false;
    }
    port_ = loopback(0);
    pid_ = spawn({"/usr/sbin/slapd", "-d", "0", "-f", conf, "-h", uri()}, true);
    for (int i = 0; i < 200; ++i, usleep(50 * 1000)) {
        if (loopback(port_)) return true;
        if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;  // gone: nothing to stop
        if (pid_ < 0) break;
    }
    stop();
    return why = "slapd did not start", false;
}

void SlapdServer::stop() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
}

}  // namespace vant::test
