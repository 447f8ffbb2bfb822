// The one stand-in for the library's nap. A program that uses `naps` has
// every nap replaced from its start: the delay is recorded, `each` runs,
// and only `real_share` of it is really slept (none unless a test says so,
// e.g. when another process must get on while the library waits).
#pragma once

#include <stddef.h>

#include <functional>
#include <vector>

namespace vant::test {

struct NapLog {
    std::vector<long> delays;
    // Runs after each nap, with the number of naps so far.
    std::function<void(size_t count)> each;
    double real_share = 0;
};
extern NapLog naps;

}  // namespace vant::test
