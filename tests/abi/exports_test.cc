// The shared library exports exactly the names its version script lists,
// each under the version VANT_1.0, and every one of them resolves.
#include <dlfcn.h>
#include <stdio.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

std::set<std::string> version_script_names() {
    std::ifstream in(VANT_VERSION_SCRIPT);
    std::set<std::string> names;
    bool global = false;
    std::regex entry(R"(^\s*([A-Za-z_][A-Za-z0-9_]*);)");
    for (std::string line; std::getline(in, line);) {
        if (line.find("global:") != std::string::npos) global = true;
        if (line.find("local:") != std::string::npos) global = false;
        std::smatch m;
        if (global && std::regex_search(line, m, entry)) names.insert(m[1]);
    }
    return names;
}

// Defined dynamic symbols with their version, as "name@@VERSION".
std::set<std::string> exported_symbols() {
    std::string cmd = std::string("nm -D --defined-only --with-symbol-versions ") +
                      VANT_SHARED_LIBRARY + " 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    std::set<std::string> names;
    if (p == nullptr) return names;
    char line[512];
    while (fgets(line, sizeof line, p) != nullptr) {
        char type = 0;
        char name[400];
        if (sscanf(line, "%*s %c %399s", &type, name) == 2 && type != 'A') names.insert(name);
    }
    pclose(p);
    return names;
}

TEST(AbiTest, ExportsEqualTheVersionScript) {
    std::set<std::string> expected;
    for (const auto &n : version_script_names())
        expected.insert(n + "@@VANT_1.0");
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(exported_symbols(), expected);
}

TEST(AbiTest, EveryListedNameResolvesInTheLoadedLibrary) {
    void *lib = dlopen(VANT_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const auto &name : version_script_names())
        EXPECT_NE(dlvsym(lib, name.c_str(), "VANT_1.0"), nullptr) << name;
    EXPECT_EQ(dlsym(lib, "_ZN4vant8platform9host_pathEPKc"), nullptr);
    dlclose(lib);
}

}  // namespace
