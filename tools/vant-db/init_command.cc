// init: a fresh root laid out from the sample system, found beside the
// installed program or, in a build tree, in the source tree.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "commands.h"

namespace fs = std::filesystem;

namespace vantdb {
namespace {

// Where the sample lies: installed beside the program, else in the source tree.
fs::path sample_directory() {
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path installed = program.parent_path() / VANT_SAMPLE_FROM_BINDIR;
        if (fs::is_directory(installed / "etc", ec)) return installed;
    }
    fs::path source = VANT_SAMPLE_SOURCE_DIR;
    if (fs::is_directory(source / "etc", ec)) return source;
    return {};
}

bool fresh(const fs::path &dir) {
    std::error_code ec;
    if (!fs::exists(dir, ec)) return !ec;
    return fs::is_directory(dir, ec) && fs::is_empty(dir, ec);
}

// New users' entries go in the directory of their first letter.
void make_letter_directories(const fs::path &root, std::error_code &ec) {
    for (char letter = 'a'; letter <= 'z' && !ec; ++letter)
        fs::create_directories(root / "tcb/files/auth" / std::string(1, letter), ec);
}

// The copy was made under the tool's file-creation mask; a root is
// searched by every user, as the host's own directories are.
void open_directories(const fs::path &root, std::error_code &ec) {
    fs::permissions(root, fs::perms(0755), ec);
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory()) fs::permissions(it->path(), fs::perms(0755), ec);
}

// Without root, the programs may run the login services only with the
// group "auth" as their effective group: the tree's "auth" becomes the
// caller's own group.
void adopt_auth_group(const fs::path &root, std::error_code &ec) {
    if (geteuid() == 0) return;
    fs::path path = root / "etc/group";
    std::ifstream in(path);
    std::string text, line;
    while (std::getline(in, line)) {
        if (line.rfind("auth:", 0) == 0) {
            size_t id = line.find(':', 5) + 1, end = line.find(':', id);
            line.replace(id, end - id, std::to_string(getegid()));
        }
        text += line + "\n";
    }
    std::ofstream out(path, std::ios::trunc);
    out << text;
    if (!out.flush()) ec = std::make_error_code(std::errc::io_error);
}

}  // namespace

int init(const Request &r) {
    fs::path dir = r.operands[0];
    fs::path sample = sample_directory();
    if (sample.empty()) return fail("the sample system is not installed");
    if (!fresh(dir)) return fail(dir.string() + " exists and is not an empty directory");
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!ec) fs::copy(sample, dir, fs::copy_options::recursive, ec);
    if (!ec) make_letter_directories(dir, ec);
    if (!ec) open_directories(dir, ec);
    if (!ec) adopt_auth_group(dir, ec);
    if (ec) return fail("cannot lay out " + dir.string() + ": " + ec.message());
    printf("sample system laid out in %s; use it with VANT_ROOT=%s\n", dir.c_str(), dir.c_str());
    return kOk;
}

}  // namespace vantdb
