// Seeding the generator from the process identity and the time.
#include <stdint.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "frame/frame.h"
#include "passwords/passwords.h"
#include "platform/clock.h"
#include "vant.h"

namespace {

uint32_t nonzero(uint32_t value) {
    return value != 0 ? value : 1;
}

}  // namespace

namespace vant::passwords {

long get_seed(void) {
    frame::check_auth_parameters();
    uint32_t uids = nonzero((frame::starting_ruid() + frame::starting_euid()) & 0xFFFFu);
    uint32_t gids = nonzero((frame::starting_rgid() + frame::starting_egid()) & 0xFFFFu);
    uint32_t pid = nonzero(static_cast<uint32_t>(getpid()));
    auto seed =
        static_cast<int32_t>(uids * gids * pid * static_cast<uint32_t>(vant::platform::now()));
    // The most negative value has no positive counterpart.
    if (seed == INT32_MIN) return INT32_MAX;
    return seed < 0 ? -seed : seed;
}

void set_seed(long seed) {
    srand48(seed);
}

}  // namespace vant::passwords
