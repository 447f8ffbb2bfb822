// What an update may leave beside a file when it goes wrong: the
// transition file "-t", the old version's link "-o", the new /etc file
// "-n". A finished or failed update leaves none of them.
#pragma once

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace vant::test {

// The logical paths of such files anywhere in the sandbox, sorted.
std::vector<std::string> left_behind(const Sandbox &box);

// Fails the test, naming them, when any is there.
#define EXPECT_NOTHING_LEFT_BEHIND(box) \
    EXPECT_EQ(::vant::test::left_behind(box), std::vector<std::string>{})

}  // namespace vant::test
