// A user kept by NIS: the hooks defined here supply the user's password
// line while /etc/passwd is searched.
#include <string.h>

#include <string>

#include "databases/protected_password_fixture.h"

namespace {
// Handed out once per rewind of the NIS password map.
const char *const kNisLine = "nisuser:xyNISPASSWORD:4242:100::/:/bin/sh";
bool handed_out = false;
}  // namespace

#define HOOK extern "C" __attribute__((visibility("default")))
HOOK int _nis_enabled(int kind) {
    return kind == 3;
}
HOOK void _nis_rewind(int) {
    handed_out = false;
}
HOOK char *_nis_getline(int) {
    static char line[128];
    if (handed_out) return nullptr;
    handed_out = true;
    strcpy(line, kNisLine);
    return line;
}

namespace vant::test {
namespace {

class PrpwNisTest : public PrpwTest {};

TEST_F(PrpwNisTest, TheNisLineWinsWithoutIntegrityChecks) {
    mirroring(true, true);  // integrity on: NIS users are not checked against it
    struct pr_passwd *pr = getprpwnam("nisuser");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_name, "nisuser");
    EXPECT_EQ(pr->ufld.u_id, 4242);
    EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_TYPE));
    EXPECT_EQ(pr->ufld.u_type, kGeneralType);
}

TEST_F(PrpwNisTest, AProtectedEntryOfANisUserIsRemovedWithoutIntegrityRequirement) {
    mirroring(false, true);
    box.mkdir("/tcb/files/auth/n");
    entry("nisuser", "u_id#4242:u_pwd=xyOLDPASSWORD");
    struct pr_passwd *pr = getprpwnam("nisuser");
    ASSERT_NE(pr, nullptr);
    EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
    EXPECT_FALSE(box.exists(entry_path("nisuser")));
}

TEST_F(PrpwNisTest, AProtectedEntryOfANisUserFailsUnderAnIntegrityRequirement) {
    mirroring(true, true);
    box.mkdir("/tcb/files/auth/n");
    entry("nisuser", "u_id#4242:u_pwd=xyOLDPASSWORD");
    EXPECT_EQ(getprpwnam("nisuser"), nullptr);
    EXPECT_TRUE(box.exists(entry_path("nisuser")));
}

}  // namespace
}  // namespace vant::test
