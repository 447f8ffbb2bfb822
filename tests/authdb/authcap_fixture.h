// What the authcap tests share: a started library in a sandbox whose audit
// records are captured, and database files to read.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {

// The record's own part of an entry failure: code, object, text.
using Report = std::vector<std::string>;

class AuthcapTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(start(box, {.program = "authtest"}), 0); }
    void TearDown() override {
        if (fp_ != nullptr) fclose(fp_);
    }

    // Writes a database file and opens it, as a reader would.
    FILE *database(const std::string &logical, const std::string &text) {
        box.write(logical, text);
        if (fp_ != nullptr) fclose(fp_);
        fp_ = fopen(box.path(logical).c_str(), "r");
        return fp_;
    }
    FILE *ttys(const std::string &text) { return database("/etc/auth/system/ttys", text); }

    std::vector<Report> reports() const {
        std::vector<Report> all;
        for (const Delivery &d : read_deliveries(box.recorder_log()))
            if (d.args.size() >= 12) all.push_back({d.args[9], d.args[10], d.args[11]});
        return all;
    }

  private:
    FILE *fp_ = nullptr;
};

}  // namespace vant::test
