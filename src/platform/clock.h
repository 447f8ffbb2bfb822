// Sleeping and the time of day, as the library takes them. Tests replace
// both through the seams below instead of redefining library functions.
#pragma once

#include <time.h>

namespace vant::platform {

// Sleeps for the given number of milliseconds; nothing for 0 or less.
void nap(long milliseconds);
// Seconds since 1970-01-01 UTC.
time_t now();

using SleepFunction = void (*)(long milliseconds);
using ClockFunction = time_t (*)();
// A null function puts the real one back.
void set_sleep_function(SleepFunction sleep);
void set_clock_function(ClockFunction clock);

}  // namespace vant::platform
