// A generated system for the benchmarks: users in /etc/passwd, /etc/shadow
// and the Protected Password database with mirroring on, and optionally
// terminals in the Terminal Control and Device Assignment databases.
#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace vant::bench {

inline std::string user(int i) {
    char name[16];
    snprintf(name, sizeof name, "u%05d", i);
    return name;
}

// User ids are 16 bits wide: past 64,535 users they are shared.
inline int user_id(int i) {
    return 1000 + i % 64535;
}

inline std::string terminal(int i) {
    char name[16];
    snprintf(name, sizeof name, "tty%04d", i);
    return name;
}

struct SystemShape {
    int users = 0;
    int terminals = 0;
    // The stored password of user i.
    std::function<std::string(int)> stored_password;
    std::string home = "/home";
};

inline void write_terminals(const std::string &root, int terminals) {
    std::ofstream ttys(root + "/etc/auth/system/ttys");
    std::ofstream devices(root + "/etc/auth/system/devassign");
    for (int i = 0; i < terminals; ++i) {
        std::string t = terminal(i);
        ttys << t << ":t_devname=" << t << ":chkent:\n";
        devices << t << ":v_devs=/dev/" << t << ":v_type=terminal:chkent:\n";
    }
}

inline void write_users(std::ofstream &passwd, std::ofstream &shadow, const std::string &root,
                        const SystemShape &shape) {
    passwd << "root:x:0:0::/root:/bin/sh\n";
    shadow << "root:rootpassword0:19000::::::\n";
    std::ofstream(root + "/tcb/files/auth/r/root")
        << "root:u_name=root:u_id#0:u_pwd=rootpassword0:chkent:\n";
    for (int i = 0; i < shape.users; ++i) {
        std::string n = user(i), pw = shape.stored_password(i);
        passwd << n << ":x:" << user_id(i) << ":100::" << shape.home << ":/bin/sh\n";
        shadow << n << ":" << pw << ":19000::::::\n";
        std::ofstream(root + "/tcb/files/auth/u/" + n)
            << n << ":u_name=" << n << ":u_id#" << user_id(i) << ":u_pwd=" << pw << ":chkent:\n";
    }
}

// Dates a file an hour back, as a site's files are between changes: a
// lookup does not trust its index of a file changed within the last second.
inline void date_back(const std::string &path) {
    time_t then = time(nullptr) - 3600;
    struct timespec times[2] = {{then, 0}, {then, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The root of a new system under /tmp; the caller removes it.
inline std::string make_system(const SystemShape &shape) {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    std::string root = dir;
    namespace fs = std::filesystem;
    for (const char *d : {"/etc/auth/system", "/etc/auth/subsystems", "/etc/default",
                          "/tcb/files/auth/r", "/tcb/files/auth/u", "/dev"})
        fs::create_directories(root + d);
    fs::create_directories(root + shape.home);
    std::ofstream(root + "/etc/group") << "root:x:0:\nusers:x:100:\nauth:x:21:\n";
    std::ofstream(root + "/etc/auth/system/authorize") << "audit:audittrail\nauth:su\n";
    std::ofstream(root + "/etc/auth/system/files")
        << "/tcb/files/auth/?/*:f_mode#0660:f_type=r:chkent:\n"
           "/etc/passwd:f_mode#0644:f_type=r:chkent:\n"
           "/etc/shadow:f_mode#0640:f_type=r:chkent:\n"
           "/etc/auth/subsystems/*:f_mode#0640:f_type=r:chkent:\n"
           "/etc/auth/system/ttys-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:chkent:\n";
    std::ofstream(root + "/etc/auth/system/default")
        << "default:d_name=default:u_integrity@:u_maxlen#8:chkent:\n";
    write_terminals(root, shape.terminals);
    {
        std::ofstream passwd(root + "/etc/passwd");
        std::ofstream shadow(root + "/etc/shadow");
        write_users(passwd, shadow, root, shape);
    }
    date_back(root + "/etc/passwd");
    date_back(root + "/etc/shadow");
    return root;
}

}  // namespace vant::bench
