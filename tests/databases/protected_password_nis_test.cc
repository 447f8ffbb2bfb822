// A user kept by NIS: the hooks below hand out the user's password line
// while /etc/passwd is searched, once a test gives them one.
#include <string.h>

#include <string>

#include "databases/databases_fixture.h"

namespace {
const char *nis_line = nullptr;  // none: the host has no NIS
bool handed_out = false;
}  // namespace

#define HOOK extern "C" __attribute__((visibility("default")))
HOOK int _nis_enabled(int kind) {
    return nis_line != nullptr && kind == 3;
}
HOOK void _nis_rewind(int) {
    handed_out = false;
}
HOOK char *_nis_getline(int) {
    static char line[128];
    if (nis_line == nullptr || handed_out) return nullptr;
    handed_out = true;
    strcpy(line, nis_line);
    return line;
}

namespace vant::test {
namespace {

class PrpwNisTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        nis_line = "nisuser:xyNISPASSWORD:4242:100::/:/bin/sh";
        box.mkdir("/tcb/files/auth/n");
    }
};

TEST_F(PrpwNisTest, TheNisLineWinsWithoutIntegrityChecks) {
    mirroring(true, true);  // integrity on: NIS users are not checked against it
    struct pr_passwd *pr = getprpwnam("nisuser");
    ASSERT_NE(pr, nullptr);
    EXPECT_EQ(pr->ufld.u_id, 4242);
    EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
    EXPECT_EQ(pr->ufld.u_type, kGeneralType);
}

// The entry goes when the site does not require integrity, else the lookup fails.
TEST_F(PrpwNisTest, AProtectedEntryOfANisUserIsRemovedOrRefused) {
    for (bool integrity : {true, false}) {
        SCOPED_TRACE(integrity ? "integrity" : "no integrity");
        mirroring(integrity, true);
        entry("nisuser", "u_id#4242:u_pwd=xyOLDPASSWORD");
        struct pr_passwd *pr = getprpwnam("nisuser");
        ASSERT_EQ(pr != nullptr, !integrity);
        EXPECT_EQ(box.exists(entry_path("nisuser")), integrity);
        if (pr != nullptr) {
            EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
        }
    }
}

}  // namespace
}  // namespace vant::test
