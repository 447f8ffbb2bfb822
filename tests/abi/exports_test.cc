// The header is the contract: the shared library exports exactly the names
// that include/vant.h declares for clients, each under VANT_1.0, and a C
// program that uses every one of them links with undefined symbols refused.
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/child.h"
#include "support/sandbox.h"

namespace {

std::string header_text() {
    std::ifstream in(VANT_PUBLIC_HEADER);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = std::regex_replace(all.str(), std::regex(R"(/\*[^]*?\*/)"), " ");
    text = std::regex_replace(text, std::regex(R"(//[^\n]*)"), " ");
    return std::regex_replace(text, std::regex(R"((^|\n)\s*#[^\n]*)"), "\n");
}

std::string last_identifier(const std::string &text) {
    static const std::regex ident(R"([A-Za-z_][A-Za-z0-9_]*)");
    std::string last;
    for (std::sregex_iterator i(text.begin(), text.end(), ident), end; i != end; ++i)
        last = i->str();
    return last;
}

struct Declared {
    std::set<std::string> functions;
    std::set<std::string> variables;
};

// Every declaration that starts with VANT_API names one function, or one or
// more variables after "extern".
Declared declarations() {
    Declared names;
    std::stringstream statements(header_text());
    for (std::string st; std::getline(statements, st, ';');) {
        size_t at = st.find("VANT_API");
        if (at == std::string::npos) continue;
        st = st.substr(at + 8);
        size_t ext = st.find("extern ");
        if (ext == std::string::npos || st.find('(') != std::string::npos) {
            names.functions.insert(last_identifier(st.substr(0, st.find('('))));
            continue;
        }
        std::stringstream declarators(st.substr(ext + 7));
        for (std::string d; std::getline(declarators, d, ',');)
            names.variables.insert(last_identifier(d.substr(0, d.find('['))));
    }
    return names;
}

std::set<std::string> declared_names() {
    Declared d = declarations();
    d.functions.insert(d.variables.begin(), d.variables.end());
    return d.functions;
}

// The lines a command prints.
std::vector<std::string> output_lines(const std::string &command) {
    std::vector<std::string> lines;
    FILE *p = popen((command + " 2>/dev/null").c_str(), "r");
    if (p == nullptr) return lines;
    char line[1024];
    while (fgets(line, sizeof line, p) != nullptr)
        lines.push_back(line);
    pclose(p);
    return lines;
}

// The symbols that the library's relocations name, without versions.
std::set<std::string> relocated_symbols() {
    std::set<std::string> names;
    char name[512];
    for (const std::string &line : output_lines(std::string("readelf -rW ") + VANT_SHARED_LIBRARY))
        if (sscanf(line.c_str(), "%*s %*s %*s %*s %511s", name) == 1)
            names.insert(std::string(name).substr(0, std::string(name).find('@')));
    return names;
}

// Defined dynamic symbols with their version, as "name@@VERSION".
std::set<std::string> exported_symbols() {
    std::set<std::string> names;
    char type = 0, name[400];
    for (const std::string &line : output_lines(
             std::string("nm -D --defined-only --with-symbol-versions ") + VANT_SHARED_LIBRARY))
        if (sscanf(line.c_str(), "%*s %c %399s", &type, name) == 2 && type != 'A')
            names.insert(name);
    return names;
}

TEST(AbiTest, ExportsEqualTheHeaderDeclarations) {
    std::set<std::string> expected;
    for (const auto &n : declared_names())
        expected.insert(n + "@@VANT_1.0");
    ASSERT_GT(expected.size(), 250u);
    EXPECT_EQ(exported_symbols(), expected);
}

// The library's own calls resolve inside it: a client that defines a function
// of the same name as an exported one cannot change what the library does.
TEST(AbiTest, NoRelocationNamesAnExportedFunction) {
    std::set<std::string> relocated = relocated_symbols();
    ASSERT_FALSE(relocated.empty());
    EXPECT_TRUE(relocated.count("free") == 1) << "readelf output not understood";
    for (const auto &name : declarations().functions)
        EXPECT_EQ(relocated.count(name), 0u) << name << " is called through the exported symbol";
}

class AbiLinkTest : public vant::test::SandboxTest {};

// A client that takes the address of every declared name, built as C99
// against the shared library with undefined symbols refused.
TEST_F(AbiLinkTest, CProgramUsingEveryDeclaredNameLinks) {
    std::string src = box.path("/client.c");
    std::ofstream c(src);
    c << "#include <stdio.h>\n#include <vant.h>\nint main(void) {\n"
         "    const volatile void *uses[] = {\n";
    for (const auto &name : declared_names())
        c << "        (const void *)(size_t)&" << name << ",\n";
    c << "    };\n    printf(\"%u\\n\", (unsigned)(sizeof uses / sizeof uses[0]));\n"
         "    return 0;\n}\n";
    c.close();
    std::string lib = VANT_SHARED_LIBRARY;
    std::string dir = lib.substr(0, lib.rfind('/'));
    std::string exe = box.path("/client");
    std::string cmd = std::string(VANT_C_COMPILER) + " -std=c99 -Wall -Werror " +
                      VANT_CLIENT_FLAGS + " -I" + VANT_INCLUDE_DIR + " " + src + " -o " + exe +
                      " -Wl,--no-undefined -L" + dir + " -lvant -Wl,-rpath," + dir + " 2>&1";
    auto built = vant::test::run_child([&] { exit(system(cmd.c_str()) == 0 ? 0 : 1); });
    ASSERT_EQ(built.exit_status, 0) << built.out << built.err;
    auto ran = vant::test::run_child([&] { execl(exe.c_str(), "client", nullptr); });
    EXPECT_EQ(ran.exit_status, 0) << ran.err;
    EXPECT_EQ(ran.out, std::to_string(declared_names().size()) + "\n");
}

}  // namespace
