#include "support/sandbox.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vant::test {

const char *const kDefaultPasswd =
    "root:x:0:0:root:/root:/bin/sh\n"
    "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
    "auth:x:7:21:auth:/tcb/files/auth:/usr/sbin/nologin\n"
    "alice:x:1000:100:Alice:/home/alice:/bin/sh\n"
    "bob:x:1001:100:Bob:/home/bob:/bin/sh\n";

const char *const kDefaultGroup =
    "root:x:0:\n"
    "daemon:x:1:\n"
    "auth:x:21:\n"
    "users:x:100:alice,bob\n";

namespace {

constexpr const char *kDirectories[] = {"/etc",
                                        "/etc/auth",
                                        "/etc/auth/system",
                                        "/etc/auth/subsystems",
                                        "/etc/default",
                                        "/tcb",
                                        "/tcb/files",
                                        "/tcb/files/auth",
                                        "/tcb/files/subsys",
                                        "/dev",
                                        "/home",
                                        "/home/alice",
                                        "/home/bob",
                                        "/bin",
                                        "/usr",
                                        "/usr/bin"};

}  // namespace

Sandbox::Sandbox() {
    char templ[] = "/tmp/vant-sandbox-XXXXXX";
    if (mkdtemp(templ) == nullptr) throw std::runtime_error("cannot make a sandbox");
    root_ = templ;
    chmod(root_.c_str(), 0755);
    for (const char *dir : kDirectories)
        mkdir(dir);
    write("/etc/passwd", kDefaultPasswd);
    write("/etc/group", kDefaultGroup);
    setenv("VANT_ROOT", root_.c_str(), 1);
    setenv("VANT_RECORDER_LOG", recorder_log().c_str(), 1);
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string Sandbox::path(const std::string &logical) const {
    return root_ + logical;
}

void Sandbox::write(const std::string &logical, const std::string &content, mode_t mode) const {
    std::string p = path(logical);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    chmod(p.c_str(), mode);
}

std::string Sandbox::read(const std::string &logical) const {
    std::ifstream in(path(logical), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Sandbox::exists(const std::string &logical) const {
    struct stat st;
    return lstat(path(logical).c_str(), &st) == 0;
}

void Sandbox::mkdir(const std::string &logical, mode_t mode) const {
    ::mkdir(path(logical).c_str(), mode);
}

void Sandbox::remove(const std::string &logical) const {
    std::error_code ignored;
    std::filesystem::remove_all(path(logical), ignored);
}

Sandbox::Stamp Sandbox::stamp(const std::string &logical) const {
    struct stat st {};
    stat(path(logical).c_str(), &st);
    return {st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void Sandbox::install_recorder() const {
    std::filesystem::copy_file(VANT_RECORDER_PROGRAM, path("/etc/auth/dlvr_audit"),
                               std::filesystem::copy_options::overwrite_existing);
    chmod(path("/etc/auth/dlvr_audit").c_str(), 0755);
}

}  // namespace vant::test
