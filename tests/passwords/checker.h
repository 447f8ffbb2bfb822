// Stand-ins for the spelling checker, put at /usr/bin/spell in the sandbox.
#pragma once

#include <string>

#include "support/sandbox.h"

namespace vant::test {

// Knows the words of /dictionary (one a line) and lists every other word it
// is given; each word it reads is appended to /checker.log.
inline void install_dictionary_checker(const Sandbox &box, const std::string &words) {
    box.write("/dictionary", words);
    box.write("/usr/bin/spell",
              "read word\n"
              "printf '%s\\n' \"$word\" >> '" +
                  box.path("/checker.log") +
                  "'\n"
                  "grep -qx \"$word\" '" +
                  box.path("/dictionary") + "' || printf '%s\\n' \"$word\"\n");
}

// Lists every word it is given: every word counts as misspelt.
inline void install_unknowing_checker(const Sandbox &box) {
    box.write("/usr/bin/spell", "cat\n");
}

}  // namespace vant::test
