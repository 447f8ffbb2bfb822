// Seconds to the whole weeks and days in which the conventional files
// count, rounded to the nearest unit unless that would pass the largest
// 32-bit value.
#include <stdint.h>

#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"

namespace vant::mirror {
namespace {

int round_to(int seconds, int unit) {
    int half = unit / 2;
    if (int64_t{INT32_MAX} - seconds >= half) return (seconds + half) / unit;
    return seconds / unit;
}

}  // namespace

int round_to_weeks(int seconds) {
    return round_to(seconds, kSecondsPerWeek);
}

int round_to_days(int seconds) {
    return round_to(seconds, kSecondsPerDay);
}

}  // namespace vant::mirror
