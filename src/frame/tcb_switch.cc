// The protected-files switch: whether the site has said, in
// /etc/default/security, that it runs without the protected database files.
#include <stdio.h>
#include <string.h>

#include "frame/frame.h"
#include "mirror/line_finder.h"
#include "platform/root.h"
#include "vant.h"

namespace {

constexpr const char *kSecurityDefaults = "/etc/default/security";

struct SwitchState {
    int fake_files = -1;  // not yet decided
};
constinit SwitchState state;

int decide() {
    FILE *fp = vant::platform::fopen_file(kSecurityDefaults, "r");
    if (fp == nullptr) return 0;
    int answer = 0;
    if (vant::mirror::find_line("TCBFILES", '=', fp, nullptr) == 0) {
        const char *line = vant::mirror::found_line();
        answer = line != nullptr && strcmp(line, "TCBFILES=OFF") == 0 ? 1 : 0;
    }
    fclose(fp);
    return answer;
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
