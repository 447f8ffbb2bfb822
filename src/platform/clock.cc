#include "platform/clock.h"

#include <errno.h>

namespace vant::platform {
namespace {

void real_sleep(long milliseconds) {
    struct timespec left = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

time_t real_clock() {
    return time(nullptr);
}

struct Seams {
    SleepFunction sleep = real_sleep;
    ClockFunction clock = real_clock;
} seams;

}  // namespace

void nap(long milliseconds) {
    if (milliseconds <= 0) return;
    seams.sleep(milliseconds);
}

time_t now() {
    return seams.clock();
}

void set_sleep_function(SleepFunction sleep) {
    seams.sleep = sleep != nullptr ? sleep : real_sleep;
}

void set_clock_function(ClockFunction clock) {
    seams.clock = clock != nullptr ? clock : real_clock;
}

}  // namespace vant::platform
