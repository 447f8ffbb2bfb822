#include <errno.h>
#include <time.h>

#include "vant.h"

extern "C" void nap(long milliseconds) {
    if (milliseconds <= 0) return;
    struct timespec left = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
