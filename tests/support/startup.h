// How a test starts the library in its sandbox, instead of each fixture
// repeating it: the recorder as the audit delivery program, the command
// name, and where messages go.
#pragma once

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace vant::test {

struct Start {
    const char *program = "vanttest";
    bool store_messages = false;  // kept for get_auth_msg rather than printed
    bool built_catalog = false;   // texts from the built catalog, through NLSPATH
    bool recorder = true;
};

// Returns set_auth_parameters' result.
int start(const Sandbox &box, const Start &how = {});

// The messages stored so far, oldest first; the store is left empty.
std::vector<std::string> stored_messages();

// A sandbox test whose library was started in SetUp.
class StartedTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(start(box, how), 0); }
    Start how;
};

}  // namespace vant::test
