// Erasure of plaintext passwords.
//
// This routine lives in a file of its own, and each pass is followed by an
// empty assembler statement that claims to read the memory: a compiler
// that sees a buffer written and then freed, or going out of scope, may
// drop the writes as dead stores. Calls from other files cannot be seen
// through, and the barrier keeps both passes here.
#include "passwords/wipe.h"

#include <string.h>

namespace vant::passwords {

void wipe(void *p, size_t n) {
    if (p == nullptr || n == 0) return;
    memset(p, 0xFF, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
    memset(p, 0, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

}  // namespace vant::passwords
