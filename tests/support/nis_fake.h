// A host NIS client whose answers a test scripts. Its hooks are loaded into
// the process only when a test first calls nis(), so every other test of
// the same program runs on a host without NIS, where the library's checks
// for the hooks' presence find none. The library looks for the hooks once,
// at its first NIS question: script NIS before that.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vant::test {

struct NisFake {
    std::set<int> enabled;  // the kinds _nis_enabled answers 1 for
    // Lines _nis_lookup finds, by {map, key}.
    std::map<std::pair<std::string, std::string>, std::string> answers;

    // The password stream: _nis_getline hands out first the lines each
    // _nis_escape queued, then `stream` from its start after each rewind.
    std::vector<std::string> stream;
    std::vector<std::string> escape_lines;
    int escapes_off = 0;            // the answer to control request 3
    std::function<void()> on_line;  // runs at each control request 3
    // Control request 4 answers 1 while the current line came from NIS.
    bool skips_its_lines = true;
    int stopped = 0;                        // the answer of _nis_stopped
    std::function<int(const char *)> hash;  // null: names spread apart
    bool log_hash = false;

    // Every hook called, as "name(arguments)"; hash only when log_hash.
    std::vector<std::string> calls;

    // Kept by the hooks.
    std::vector<std::string> pending;
    size_t position = 0;
    std::string current;
    bool current_from_nis = false;
};

// The fake, its hooks loaded on first use.
NisFake &nis();

}  // namespace vant::test
