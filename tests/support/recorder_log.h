// Reads back what the recorder program wrote.
#pragma once

#include <string>
#include <vector>

namespace vant::test {

struct Delivery {
    std::vector<std::string> args;
    std::string descriptor;  // "read-only", "closed", "writable" or "none"
    std::string sigterm;     // "blocked" or "open"
};

std::vector<Delivery> read_deliveries(const std::string &log_path);

// The own arguments of every record delivered: what follows the fixed part.
std::vector<std::vector<std::string>> record_arguments(const std::string &log_path);

}  // namespace vant::test
