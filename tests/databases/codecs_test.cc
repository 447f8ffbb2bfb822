// The user and terminal field codecs: exact text written, and read back.
#include "databases/databases_fixture.h"

namespace vant::test {
namespace {

class CodecTest : public StartedTest {
  protected:
    void SetUp() override {
        StartedTest::SetUp();
        box.write("/etc/default/security", "TCBFILES=OFF\n");  // built-in authorizations
    }
    void TearDown() override { free(buf); }

    void current(const std::string &text) {
        box.write("/entry", text);
        FILE *f = fopen(box.path("/entry").c_str(), "r");
        ASSERT_EQ(agetent(&buf, &len, nullptr, VANT_OBJ_TTYS, nullptr, f), 1);
        fclose(f);
    }

    char *buf = nullptr;
    int len = 0;
    pr_field f{};
    pr_flag fl{};
};

TEST_F(CodecTest, EveryUserFieldIsWrittenAsItWasRead) {
    const std::string text =
        "bob:u_name=bob:u_id#1001:\\\n"
        "\t:u_pwd=xyABCDEFGHIJKLMNOPQRSTUV:\\\n"
        "\t:u_type=general:u_owner=root:u_priority#-4:u_cmdpriv=su,shutdown:\\\n"
        "\t:u_syspriv=execsuid,chown:\\\n"
        "\t:u_auditcntl=login:\\\n"
        "\t:u_auditdisp=database,privilege:\\\n"
        "\t:u_minchg#86400:u_maxlen#12:u_exp#5000:u_life#6000:\\\n"
        "\t:u_succhg#1700000000:u_unsucchg#1700000100:u_pswduser=alice:u_pickpw:\\\n"
        "\t:u_genpwd@:u_restrict:u_nullpw@:u_suclog#1700000200:\\\n"
        "\t:u_suctty=tty012345678:u_unsuclog#1700000300:u_unsuctty=pts/3:u_numunsuclog#2:\\\n"
        "\t:u_maxtries#5:u_lock@:u_singleuserpswd:u_secclass=c2:\\\n"
        "\t:u_integrity:u_tcbpw@:u_pwseg#3:chkent:\n";
    current(text);
    ASSERT_EQ(read_pw_fields(&f, &fl), 0);
    EXPECT_EQ(fl.words[0], 0xFFFF);
    EXPECT_EQ(fl.words[1], 0xDFFF);
    EXPECT_EQ(fl.words[2], 0x0007);
    EXPECT_STREQ(f.u_savedpwd, f.u_pwd);
    EXPECT_EQ(f.u_priority, -4);
    EXPECT_EQ(f.u_cmdpriv, (1u << 3) | (1u << 16));
    EXPECT_EQ(f.u_pswduser, 1000);
    EXPECT_EQ(f.u_numunsuclog, 2);
    PR_CLR(fl, PR_U_SAVEDPWD);
    auto store = [&](FILE *fp) { return store_pw_fields(fp, "bob", &f, &fl); };
    EXPECT_EQ(stored_text(store), text);
    f.u_pswduser = 4242;  // a user without a name cannot be written
    EXPECT_TRUE(stored_text(store).starts_with("FAILED bob:u_name=bob:u_id#1001:"))
        << stored_text(store);
}

TEST_F(CodecTest, TerminalWrapsAfterEveryFourthCountedFieldAndRoundTrips) {
    t_field t = {"tty1", 1000, 100, 1001, 200, 0, 300, 1, 9, 2, "front desk", 0, 60};
    t_flag tf = {0x1FFF};
    auto store = [&](FILE *fp) { return store_tc_fields(fp, "tty1", &t, &tf); };
    std::string text = stored_text(store);
    EXPECT_EQ(text,
              "tty1:t_devname=tty1:t_uid=alice:t_logtime#100:\\\n"
              "\t:t_unsucuid=bob:t_unsuctime#200:t_prevuid=root:t_prevtime#300:\\\n"
              "\t:t_failures#1:t_maxtries#9:t_logdelay#2:t_label=front desk:\\\n"
              "\t:t_lock@:t_login_timeout#60:chkent:\n");
    current(text);
    t_field back{};
    t_flag back_fl{};
    read_tc_fields(&back, &back_fl);
    EXPECT_EQ(back_fl.word, 0x1FFF);
    EXPECT_EQ(memcmp(&back, &t, sizeof t), 0);
    t.t_uid = 4242;  // a user without a name cannot be written
    EXPECT_EQ(stored_text(store), "FAILED tty1:t_devname=tty1:");
}

}  // namespace
}  // namespace vant::test
