// Installed into a prefix of the user's choosing, the library is complete
// there: nothing is written outside the prefix, a client builds from it with
// pkg-config alone and with CMake's find_package, and the installed library
// finds its own message catalog.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "support/child.h"
#include "support/records.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

class InstallTest : public SandboxTest {
  protected:
    void SetUp() override {
        prefix = box.path("/inst");
        unsetenv("NLSPATH");
        write_system_default(box, "u_maxtries#5:u_integrity@");
        box.write("/etc/auth/system/files", file_control_line("/etc/passwd", 0644), 0664);
        box.write("/etc/auth/system/authorize", "auth:su\n");
        box.write("/etc/shadow", "alice:abcdefghijklm:19000:0:99999:7:::\n", 0640);
        write_prpw(box, "alice", "u_id#1000:u_lock");
    }

    // Runs a shell command; its output, or a failure with the output.
    std::string shell(const std::string &command) {
        auto r =
            run_child([&] { execl("/bin/sh", "sh", "-c", (command + " 2>&1").c_str(), nullptr); });
        EXPECT_EQ(r.exit_status, 0) << command << "\n" << r.out << r.err;
        return r.out;
    }

    std::string install() {
        return shell(std::string(VANT_CMAKE_COMMAND) + " --install " + VANT_BUILD_DIR +
                     " --prefix " + prefix);
    }

    std::string pkg_config(const std::string &what) {
        std::string out = shell("PKG_CONFIG_PATH=" + prefix + "/lib/pkgconfig:" + prefix + "/lib/" +
                                multiarch() + "/pkgconfig pkg-config " + what + " vant");
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }

    static std::string multiarch() {
        for (const auto &e : std::filesystem::directory_iterator("/usr/lib"))
            if (e.path().filename().string().find("-linux-gnu") != std::string::npos)
                return e.path().filename().string();
        return "";
    }

    std::string cc(const std::string &source, const std::string &exe) {
        return shell(std::string(VANT_C_COMPILER) + " -std=c99 -Wall -Werror " + VANT_CLIENT_FLAGS +
                     " " + source + " -o " + exe + " " + pkg_config("--cflags --libs"));
    }

    ChildResult run(const std::string &exe, const char *arg) {
        std::string libdir = pkg_config("--variable=libdir");
        return run_child([&] {
            setenv("LD_LIBRARY_PATH", libdir.c_str(), 1);
            execl(exe.c_str(), exe.c_str(), arg, nullptr);
        });
    }

    std::string prefix;
};

constexpr const char *kAliceStatus =
    "user alice: id 1000, locked\n"
    "try limit: 5\n"
    "/etc/passwd: mode 0644\n";

// Every file goes under the prefix, and a client builds from there with
// pkg-config alone and with find_package.
TEST_F(InstallTest, EveryFileGoesUnderThePrefixAndClientsBuildFromIt) {
    std::istringstream lines(install());
    int installed = 0;
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find(": ");
        if (line.rfind("-- Installing: ", 0) != 0 && line.rfind("-- Up-to-date: ", 0) != 0)
            continue;
        ++installed;
        EXPECT_EQ(line.substr(at + 2, prefix.size() + 1), prefix + "/") << line;
    }
    EXPECT_GE(installed, 7);
    EXPECT_EQ(std::filesystem::canonical(pkg_config("--variable=prefix")),
              std::filesystem::canonical(prefix));

    std::string exe = box.path("/account_status");
    cc(std::string(VANT_EXAMPLES_DIR) + "/account_status.c", exe);
    box.mkdir("/client");
    box.write("/client/CMakeLists.txt",
              "cmake_minimum_required(VERSION 3.25)\nproject(client C)\n"
              "find_package(vant REQUIRED)\n"
              "add_executable(account_status " VANT_EXAMPLES_DIR
              "/account_status.c)\n"
              "target_link_libraries(account_status PRIVATE vant::vant)\n");
    std::string dir = box.path("/client");
    shell(std::string(VANT_CMAKE_COMMAND) + " -S " + dir + " -B " + dir +
          "/build -G Ninja -DCMAKE_PREFIX_PATH=" + prefix +
          " -DCMAKE_C_COMPILER=" + VANT_C_COMPILER + " \"-DCMAKE_C_FLAGS=" + VANT_CLIENT_FLAGS +
          "\" && " + VANT_CMAKE_COMMAND + " --build " + dir + "/build");
    for (const std::string &client : {exe, dir + "/build/account_status"}) {
        auto r = run(client, "alice");
        EXPECT_EQ(r.exit_status, 0) << client << r.err;
        EXPECT_EQ(r.out, kAliceStatus) << client;
    }
}

// The installed catalog is swapped for one whose text differs from the
// built-in one; the installed library must pick it up without NLSPATH.
TEST_F(InstallTest, InstalledLibraryFindsItsCatalog) {
    install();
    box.write("/custom.msg", "$quote \"\n$set 1\n24 \"started without arguments\"\n");
    std::string catalog = pkg_config("--variable=prefix") + "/share/vant/vant.cat@Unix";
    ASSERT_TRUE(std::filesystem::exists(catalog));
    shell("gencat " + catalog + ".new " + box.path("/custom.msg") + " && mv " + catalog + ".new '" +
          catalog + "'");
    box.write("/texts.c",
              "#include <stdio.h>\n#include <vant.h>\n"
              "int main(int argc, char **argv) {\n"
              "    set_auth_parameters(argc, argv);\n    set_auth_msg(VANT_MSG_CATALOG);\n"
              "    puts(intl_msg(24, vant_badargs));\n    return 0;\n}\n");
    std::string exe = box.path("/texts");
    cc(box.path("/texts.c"), exe);
    auto r = run(exe, nullptr);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "started without arguments\n");
}

}  // namespace
}  // namespace vant::test
