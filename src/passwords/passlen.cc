// The shortest password that keeps the chance of guessing it within its
// lifetime below one in a million.
#include <limits.h>
#include <math.h>

#include "passwords/passwords.h"
#include "vant.h"

namespace vant::passwords {

int passlen(int lifetime, int delay, int alphabet) {
    double guesses = (lifetime / 60.0) * (60.0 / delay) / 0.000001;
    double length = ceil(log(guesses) / log(static_cast<double>(alphabet)));
    // A delay of 0 or an alphabet of one character leaves no length long
    // enough; a lifetime of 0 makes any length do.
    if (isnan(length)) return 0;
    if (length >= INT_MAX) return INT_MAX;
    if (length <= 0) return 0;
    return static_cast<int>(length);
}

}  // namespace vant::passwords
