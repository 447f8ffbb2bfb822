#include "support/startup.h"

#include <stdlib.h>

#include <filesystem>

#include "vant.h"

namespace vant::test {

int start(const Sandbox &box, const Start &how) {
    if (how.recorder) box.install_recorder();
    if (how.built_catalog) {
        box.mkdir("/nls");
        std::filesystem::copy_file(VANT_BUILT_CATALOG, box.path("/nls/vant.cat@Unix"),
                                   std::filesystem::copy_options::overwrite_existing);
        setenv("NLSPATH", (box.path("/nls") + "/%N").c_str(), 1);
    }
    // The library keeps the name it was started with.
    static std::string name;
    static char *argv[2];
    name = how.program;
    argv[0] = name.data();
    int result = set_auth_parameters(1, argv);
    if (how.store_messages) set_auth_msg(VANT_MSG_STORE);
    return result;
}

std::vector<std::string> stored_messages() {
    std::vector<std::string> all;
    char *text = nullptr;
    while (get_auth_msg(&text) > 0)
        all.push_back(text != nullptr ? text : "");
    return all;
}

}  // namespace vant::test
