#include "support/naps.h"

#include <unistd.h>

#include "platform/clock.h"

namespace vant::test {

NapLog naps;

namespace {

void stand_in(long milliseconds) {
    naps.delays.push_back(milliseconds);
    if (naps.each) naps.each(naps.delays.size());
    auto micro =
        static_cast<useconds_t>(static_cast<double>(milliseconds) * 1000 * naps.real_share);
    if (micro > 0) usleep(micro);
}

[[maybe_unused]] const bool installed = (platform::set_sleep_function(stand_in), true);

}  // namespace
}  // namespace vant::test
