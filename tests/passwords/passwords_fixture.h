// A password program started in a sandbox, and a stand-in for the spelling
// checker, put at /usr/bin/spell.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "support/startup.h"
#include "vant.h"

namespace vant::test {

class PasswordsTest : public StartedTest {
  protected:
    PasswordsTest() { how.program = "/usr/bin/passwd"; }
    // Knows the words of /dictionary (one a line) and lists every other word
    // it is given; each word it reads is appended to /checker.log.
    void dictionary_checker(const std::string &words) const {
        box.write("/dictionary", words);
        box.write("/usr/bin/spell", "read word\nprintf '%s\\n' \"$word\" >> '" +
                                        box.path("/checker.log") + "'\ngrep -qx \"$word\" '" +
                                        box.path("/dictionary") +
                                        "' || printf '%s\\n' \"$word\"\n");
    }
    // The verdict and what was printed on the stream, as "1:text".
    static std::string verdict(const char *password) {
        char *text = nullptr;
        size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        int v = acceptable_password(password, stream);
        fclose(stream);
        std::string printed = std::to_string(v) + ":" + std::string(text, size);
        free(text);
        return printed;
    }
};

}  // namespace vant::test
