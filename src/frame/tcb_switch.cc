// The protected-files switch: whether the site has said, in
// /etc/default/security, that it runs without the protected database files.
#include <string.h>

#include "frame/frame.h"
#include "platform/defaults_file.h"
#include "vant.h"

namespace {

constexpr const char *kSecurityDefaults = "/etc/default/security";

struct SwitchState {
    int fake_files = -1;  // not yet decided
};
constinit SwitchState state;

// Read with a reader of its own: a lookup may ask while a login service
// has the process-wide defaults file open.
int decide() {
    vant::platform::DefaultsFile file;
    if (!file.open(kSecurityDefaults)) return 0;
    const char *value = file.read("TCBFILES=", vant::platform::kDefaultsCaseSensitive);
    return value != nullptr && strcmp(value, "OFF") == 0 ? 1 : 0;
}

}  // namespace

namespace vant::frame {

int oktofaketcb(void) {
    if (state.fake_files < 0) {
        state.fake_files = 0;
        state.fake_files = decide();
    }
    return state.fake_files;
}

}  // namespace vant::frame
