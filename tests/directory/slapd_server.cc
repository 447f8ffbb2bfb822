#include "directory/slapd_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace vant::test {
namespace {

constexpr const char *kSlapd = "/usr/sbin/slapd";
constexpr const char *kSlapadd = "/usr/sbin/slapadd";

std::string config(const std::string &dir) {
    std::ostringstream c;
    for (const char *schema : {"core", "cosine", "nis", "inetorgperson"})
        c << "include /etc/ldap/schema/" << schema << ".schema\n";
    c << "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
      << "pidfile " << dir << "/slapd.pid\n"
      << "sizelimit 500\n"
      << "database mdb\nmaxsize 268435456\n"
      << "suffix \"" << kDirectorySuffix << "\"\n"
      << "rootdn \"" << kDirectoryAdmin << "\"\nrootpw " << kDirectorySecret << "\n"
      << "directory " << dir << "/db\n"
      << "index uid,cn,uidNumber,gidNumber,objectClass eq\n"
      << "access to attrs=userPassword by self write by anonymous auth by * none\n"
      << "access to * by * read\n";
    return c.str();
}

bool write_file(const std::string &path, const std::string &text) {
    std::ofstream f(path);
    f << text;
    return static_cast<bool>(f);
}

// Runs a program with its output in `log`; its exit status, or -1.
pid_t spawn(const std::vector<std::string> &args, const std::string &log, bool tied) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (tied) prctl(PR_SET_PDEATHSIG, SIGTERM);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

bool answers(int port) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

std::string read_file(const std::string &path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

int free_port() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

std::string user_ldif(const std::string &name, long uid, const std::string &crypted) {
    std::ostringstream l;
    l << "dn: uid=" << name << ",ou=people," << kDirectorySuffix << "\n"
      << "objectClass: account\nobjectClass: posixAccount\nobjectClass: shadowAccount\n"
      << "uid: " << name << "\ncn: " << name << "\nuidNumber: " << uid << "\ngidNumber: 100\n"
      << "gecos: Directory user " << name << "\nhomeDirectory: /home/" << name
      << "\nloginShell: /bin/sh\nuserPassword: {CRYPT}" << crypted
      << "\nshadowLastChange: 19000\n\n";
    return l.str();
}

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
        l << user_ldif(name, 20000 + i, crypted);
    }
    for (int i = 1; i <= groups; ++i) {
        snprintf(name, sizeof name, "group%03d", i);
        l << "dn: cn=" << name << ",ou=groups," << kDirectorySuffix
          << "\nobjectClass: posixGroup\ncn: " << name << "\ngidNumber: " << 30000 + i << "\n";
        for (int m = 1; m <= 3 && m <= users; ++m) {
            snprintf(name, sizeof name, "user%04d", m);
            l << "memberUid: " << name << "\n";
        }
        l << "\n";
    }
    return l.str();
}

bool SlapdServer::start(const std::string &ldif, const std::string &unchecked, std::string &why) {
    char templ[] = "/tmp/vant-slapd-XXXXXX";
    if (mkdtemp(templ) == nullptr) {
        why = "no temporary directory";
        return false;
    }
    dir_ = templ;
    std::filesystem::create_directory(dir_ + "/db");
    std::string conf = dir_ + "/slapd.conf", log = dir_ + "/log";
    if (!write_file(conf, config(dir_))) {
        why = "cannot write the configuration";
        return false;
    }
    int status = -1;
    for (const std::string *part : {&ldif, &unchecked}) {
        if (part->empty()) continue;
        std::string data = dir_ + "/data.ldif";
        write_file(data, *part);
        std::vector<std::string> args = {kSlapadd, "-q", "-f", conf, "-l", data};
        if (part == &unchecked) args.insert(args.begin() + 1, "-s");
        waitpid(spawn(args, log, false), &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            why = "slapadd failed: " + read_file(log);
            return false;
        }
    }
    port_ = free_port();
    pid_ = spawn({kSlapd, "-d", "0", "-f", conf, "-h", uri()}, log, true);
    for (int i = 0; i < 200; ++i) {
        if (answers(port_)) return true;
        if (waitpid(pid_, &status, WNOHANG) == pid_) break;
        struct timespec pause = {0, 50 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    why = "slapd did not start: " + read_file(log);
    stop();
    return false;
}

void SlapdServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    dir_.clear();
}

std::string SlapdServer::uri() const {
    return "ldap://127.0.0.1:" + std::to_string(port_) + "/";
}

}  // namespace vant::test
