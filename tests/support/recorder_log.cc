#include "support/recorder_log.h"

#include <fstream>

namespace vant::test {

std::vector<Delivery> read_deliveries(const std::string &log_path) {
    std::vector<Delivery> all;
    std::ifstream in(log_path);
    Delivery current;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("@fd ", 0) == 0) {
            current.descriptor = line.substr(4);
        } else if (line.rfind("@sigterm ", 0) == 0) {
            current.sigterm = line.substr(9);
        } else if (line == "@end") {
            all.push_back(current);
            current = Delivery{};
        } else {
            current.args.push_back(line);
        }
    }
    return all;
}

std::vector<std::vector<std::string>> record_arguments(const std::string &log_path) {
    std::vector<std::vector<std::string>> all;
    for (const Delivery &d : read_deliveries(log_path))
        if (d.args.size() > 9) all.emplace_back(d.args.begin() + 9, d.args.end());
    return all;
}

}  // namespace vant::test
