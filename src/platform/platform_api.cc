// The exported C functions of the platform layer.
#include "platform/clock.h"
#include "vant.h"

extern "C" void nap(long milliseconds) {
    vant::platform::nap(milliseconds);
}
