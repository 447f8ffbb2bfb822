// Runs a piece of a test in a child process and reports how it ended and
// what it wrote on standard output and standard error.
#pragma once

#include <functional>
#include <string>

namespace vant::test {

struct ChildResult {
    int exit_status = -1;  // the status passed to exit, or -1
    int signal = 0;        // the signal that ended the child, or 0
    std::string out;
    std::string err;
};

// The body's own end (exit, a signal) is reported; falling off the end
// counts as exit status 0.
ChildResult run_child(const std::function<void()> &body);

}  // namespace vant::test
