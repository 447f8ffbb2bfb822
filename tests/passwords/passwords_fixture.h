#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "support/child.h"
#include "support/recorder_log.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {

class PasswordsTest : public StartedTest {
  protected:
    PasswordsTest() { how.program = "/usr/bin/passwd"; }
    // A spelling checker that knows these words and logs each it is given.
    void dictionary_checker(const std::string &words) const {
        box.write("/dictionary", words);
        box.write("/usr/bin/spell", "read word\nprintf '%s\\n' \"$word\" >> '" +
                                        box.path("/checker.log") + "'\ngrep -qx \"$word\" '" +
                                        box.path("/dictionary") +
                                        "' || printf '%s\\n' \"$word\"\n");
    }
    static std::string verdict(const char *password) {
        char *text = nullptr;
        size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        std::string printed = std::to_string(acceptable_password(password, stream)) + ":";
        fclose(stream);
        printed.append(text, size);
        free(text);
        return printed;
    }
};

}  // namespace vant::test
