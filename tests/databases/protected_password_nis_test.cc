// A user kept by NIS: the host's password stream supplies the user's line
// while /etc/passwd is searched.
#include "databases/databases_fixture.h"
#include "support/nis_fake.h"

namespace vant::test {
namespace {

class PrpwNisTest : public DatabasesTest {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        nis().enabled = {3};
        nis().stream = {"nisuser:xyNISPASSWORD:4242:100::/:/bin/sh"};
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
        EXPECT_EQ(box.exists(prpw_path("nisuser")), integrity);
        if (pr != nullptr) {
            EXPECT_STREQ(pr->ufld.u_pwd, "xyNISPASSWORD");
        }
    }
}

}  // namespace
}  // namespace vant::test
