// The header is the contract: the shared library exports exactly the names
// that include/vant.h declares for clients, each under VANT_1.0; C programs
// that use them link with undefined symbols refused; and installed into a
// prefix of the user's choosing, the library is complete there.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/child.h"
#include "support/records.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

// Runs a shell command; its output, or a failure with the output.
std::string shell(const std::string &command) {
    auto r = run_child([&] { execl("/bin/sh", "sh", "-c", (command + " 2>&1").c_str(), nullptr); });
    EXPECT_EQ(r.exit_status, 0) << command << "\n" << r.out << r.err;
    return r.out.substr(0, r.out.find_last_not_of('\n') + 1);
}

struct Declared {
    std::set<std::string> functions, all;
};

// Every declaration that starts with VANT_API names one function, or one or
// more variables after "extern".
Declared declared() {
    std::stringstream header;
    header << std::ifstream(VANT_PUBLIC_HEADER).rdbuf();
    const std::string text = std::regex_replace(
        header.str(), std::regex(R"(/\*[^]*?\*/|//[^\n]*|(^|\n)\s*#[^\n]*)"), "\n");
    static const std::regex function(R"(VANT_API[^;(]*?(\w+)\s*\()"),
        variables(R"(VANT_API\s+extern([^;(]*);)"), variable(R"((\w+)\s*(\[\s*\])?\s*(,|$))");
    Declared names;
    for (std::sregex_iterator f(text.begin(), text.end(), function), end; f != end; ++f)
        names.functions.insert((*f)[1]);
    for (std::sregex_iterator v(text.begin(), text.end(), variables), end; v != end; ++v) {
        const std::string list = (*v)[1];
        for (std::sregex_iterator n(list.begin(), list.end(), variable); n != end; ++n)
            names.all.insert((*n)[1]);
    }
    names.all.insert(names.functions.begin(), names.functions.end());
    return names;
}

// The distinct lines a command prints.
std::set<std::string> lines_of(const std::string &command) {
    std::set<std::string> lines;
    FILE *p = popen((command + " 2>/dev/null").c_str(), "r");
    char line[1024];
    while (p != nullptr && fgets(line, sizeof line, p) != nullptr)
        lines.insert(std::string(line, strcspn(line, "\n")));
    if (p != nullptr) pclose(p);
    return lines;
}

// The library's own calls resolve inside it, too: a client that defines a
// function of the same name as an exported one cannot change what the
// library does.
TEST(AbiTest, ExportsEqualTheHeaderDeclarationsAndNoRelocationNamesOne) {
    const std::string lib = VANT_SHARED_LIBRARY;
    Declared names = declared();
    std::set<std::string> expected;
    for (const auto &n : names.all)
        expected.insert(n + "@@VANT_1.0");
    ASSERT_GT(expected.size(), 250u);
    EXPECT_EQ(lines_of("nm -D --defined-only --with-symbol-versions " + lib +
                       " | awk '$2 != \"A\" {print $3}'"),
              expected);
    auto relocated =
        lines_of("readelf -rW " + lib + " | awk 'NF >= 5 {sub(/@.*/, \"\", $5); print $5}'");
    EXPECT_TRUE(relocated.count("free") == 1) << "readelf output not understood";
    for (const auto &name : names.functions)
        EXPECT_EQ(relocated.count(name), 0u) << name << " is called through the exported symbol";
}

class ClientTest : public SandboxTest {};

// A client that takes the address of every declared name, built as C99
// against the shared library with undefined symbols refused; and the
// example client, which names its starting identity from the system it
// runs on.
TEST_F(ClientTest, CProgramsUsingTheDeclaredNamesLinkAndRun) {
    std::set<std::string> names = declared().all;
    std::string uses;
    for (const auto &name : names)
        uses += "        (const void *)(size_t)&" + name + ",\n";
    box.write("/client.c",
              "#include <stdio.h>\n#include <vant.h>\nint main(void) {\n"
              "    const volatile void *uses[] = {\n" +
                  uses +
                  "    };\n"
                  "    printf(\"%u\\n\", (unsigned)(sizeof uses / sizeof uses[0]));\n"
                  "    return 0;\n}\n");
    std::string lib = VANT_SHARED_LIBRARY, dir = lib.substr(0, lib.rfind('/'));
    std::string exe = box.path("/client");
    shell(std::string(VANT_C_COMPILER) + " -std=c99 -Wall -Werror " + VANT_CLIENT_FLAGS + " -I" +
          VANT_INCLUDE_DIR + " " + box.path("/client.c") + " -o " + exe + " -Wl,--no-undefined -L" +
          dir + " -lvant -Wl,-rpath," + dir);
    auto ran = run_child([&] { execl(exe.c_str(), "client", nullptr); });
    EXPECT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(ran.out, std::to_string(names.size()) + "\n");

    box.write("/etc/passwd", "admin:x:" + std::to_string(getuid()) + ":0::/:/bin/sh\n");
    box.write("/etc/group", "staff:x:" + std::to_string(getgid()) + ":\n");
    auto r = run_child([] { execl(VANT_EXAMPLE_CLIENT, "whoami_start", nullptr); });
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find("real user:      " + std::to_string(getuid()) + " (admin)\n"), r.out.npos);
    EXPECT_NE(r.out.find("real group:     " + std::to_string(getgid()) + " (staff)\n"), r.out.npos);
}

// Nothing is written outside the prefix, a client builds from it with
// pkg-config alone and with CMake's find_package, and the installed library
// finds its own message catalog.
TEST_F(ClientTest, InstalledInAPrefixTheLibraryIsCompleteThere) {
    std::string prefix = box.path("/inst");
    auto pkg_config = [&](const std::string &what) {
        return shell("PKG_CONFIG_PATH=$(echo " + prefix + "/lib/pkgconfig " + prefix +
                     "/lib/*/pkgconfig | tr ' ' :) pkg-config " + what + " vant");
    };
    // Runs a client built from `source` with what pkg-config gives, or the
    // one already built at `exe`, on the installed library.
    auto run = [&](const std::string &exe, const char *arg, const std::string &source = "") {
        if (!source.empty())
            shell(std::string(VANT_C_COMPILER) + " -std=c99 -Wall -Werror " + VANT_CLIENT_FLAGS +
                  " " + source + " -o " + exe + " " + pkg_config("--cflags --libs"));
        std::string libdir = pkg_config("--variable=libdir");
        return run_child([&] {
            setenv("LD_LIBRARY_PATH", libdir.c_str(), 1);
            execl(exe.c_str(), exe.c_str(), arg, nullptr);
        });
    };
    unsetenv("NLSPATH");
    write_system_default(box, "u_maxtries#5:u_integrity@");
    box.write("/etc/auth/system/files", file_control_line("/etc/passwd", 0644), 0664);
    box.write("/etc/auth/system/authorize", "auth:su\n");
    box.write("/etc/shadow", "alice:abcdefghijklm:19000:0:99999:7:::\n", 0640);
    write_prpw(box, "alice", "u_id#1000:u_lock");
    std::istringstream lines(shell(std::string(VANT_CMAKE_COMMAND) + " --install " +
                                   VANT_BUILD_DIR + " --prefix " + prefix));
    int installed = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("-- Installing: ", 0) != 0 && line.rfind("-- Up-to-date: ", 0) != 0)
            continue;
        ++installed;
        EXPECT_EQ(line.substr(15, prefix.size() + 1), prefix + "/") << line;
    }
    EXPECT_GE(installed, 7);
    EXPECT_EQ(std::filesystem::canonical(pkg_config("--variable=prefix")),
              std::filesystem::canonical(prefix));

    // A client built with pkg-config alone, and one with find_package.
    std::string dir = box.path("/client");
    box.mkdir("/client");
    box.write("/client/CMakeLists.txt",
              "cmake_minimum_required(VERSION 3.25)\nproject(client C)\n"
              "find_package(vant REQUIRED)\n"
              "add_executable(account_status " VANT_EXAMPLES_DIR
              "/account_status.c)\n"
              "target_link_libraries(account_status PRIVATE vant::vant)\n");
    shell(std::string(VANT_CMAKE_COMMAND) + " -S " + dir + " -B " + dir +
          "/build -G Ninja -DCMAKE_PREFIX_PATH=" + prefix +
          " -DCMAKE_C_COMPILER=" + VANT_C_COMPILER + " \"-DCMAKE_C_FLAGS=" + VANT_CLIENT_FLAGS +
          "\" && " + VANT_CMAKE_COMMAND + " --build " + dir + "/build");
    for (const ChildResult &r :
         {run(dir + "/account_status", "alice", VANT_EXAMPLES_DIR "/account_status.c"),
          run(dir + "/build/account_status", "alice")}) {
        EXPECT_EQ(r.exit_status, 0) << r.err;
        EXPECT_EQ(r.out, "user alice: id 1000, locked\ntry limit: 5\n/etc/passwd: mode 0644\n");
    }

    // The installed catalog, swapped for one whose text differs from the
    // built-in one, is found without NLSPATH.
    box.write("/custom.msg", "$quote \"\n$set 1\n24 \"started without arguments\"\n");
    std::string catalog = prefix + "/share/vant/vant.cat@Unix";
    ASSERT_TRUE(std::filesystem::exists(catalog));
    shell("gencat " + catalog + ".new " + box.path("/custom.msg") + " && mv " + catalog + ".new '" +
          catalog + "'");
    box.write("/texts.c",
              "#include <stdio.h>\n#include <vant.h>\n"
              "int main(int argc, char **argv) {\n"
              "    set_auth_parameters(argc, argv);\n    set_auth_msg(VANT_MSG_CATALOG);\n"
              "    puts(intl_msg(24, vant_badargs));\n    return 0;\n}\n");
    ChildResult r = run(box.path("/texts"), nullptr, box.path("/texts.c"));
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "started without arguments\n");
}

}  // namespace
}  // namespace vant::test
