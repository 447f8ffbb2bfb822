// The kernel authorizations of a privilege vector as a list of names.
#include <stdlib.h>

#include "authorizations/authorizations.h"
#include "authorizations/vectors.h"
#include "frame/frame.h"

namespace {

constexpr vant_mask_t kKernelBits = 0xFFu;  // the system privileges, 0 to 7

}  // namespace

namespace vant::authorizations {

char **build_kern_vec(const priv_t *vector) {
    if (vector == nullptr) return nullptr;
    vant_mask_t bits = *vector & kKernelBits;
    NameListSize size{sys_priv};
    size.names(bits);
    size_t pointers = size.slots * sizeof(char *);
    auto **result = static_cast<char **>(malloc(pointers + size.bytes));
    if (result == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    NameListFiller fill{sys_priv, result, reinterpret_cast<char *>(result) + pointers};
    fill.names(bits);
    return result;
}

}  // namespace vant::authorizations
