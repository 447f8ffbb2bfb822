#include "handle_state.h"

#include <unistd.h>

#include <new>

namespace vant_pam {
namespace {

constexpr const char kDataName[] = "pam_vant_attempt";

void release(pam_handle_t *, void *data, int) {
    auto *state = static_cast<HandleState *>(data);
    smp_free_attempt(state->attempt);
    delete state;
}

}  // namespace

HandleState *find_state(pam_handle_t *pamh) {
    const void *data = nullptr;
    if (pam_get_data(pamh, kDataName, &data) != PAM_SUCCESS) return nullptr;
    return static_cast<HandleState *>(const_cast<void *>(data));
}

int begin_attempt(pam_handle_t *pamh, LoginTarget &target, int request, HandleState *&state,
                  const char *&text) {
    state = nullptr;
    text = nullptr;
    auto *fresh = new (std::nothrow) HandleState;
    if (fresh == nullptr) return SMP_NOMEM;
    fresh->request = request;
    char *tty = target.tty.empty() ? nullptr : target.tty.data();
    char *failure = nullptr;
    int network = 0;  // asked, so that no protected entry is written for a network user
    fresh->result = smp_check_user(request, target.user.data(), tty, getuid(), &fresh->attempt,
                                   &fresh->retries, &failure, &network, &fresh->delay);
    text = failure;
    if (pam_set_data(pamh, kDataName, fresh, release) != PAM_SUCCESS) {
        release(pamh, fresh, 0);
        return SMP_NOMEM;
    }
    state = fresh;
    return fresh->result;
}

}  // namespace vant_pam
