#include "support/leftovers.h"

#include <algorithm>
#include <filesystem>

namespace vant::test {

std::vector<std::string> left_behind(const Sandbox &box) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(box.root(), ignored), end; it != end;
         it.increment(ignored)) {
        std::string name = it->path().filename();
        if (name.size() < 3 || name[name.size() - 2] != '-') continue;
        char suffix = name.back();
        if (suffix == 't' || suffix == 'o' || suffix == 'n')
            found.push_back(it->path().string().substr(box.root().size()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace vant::test
