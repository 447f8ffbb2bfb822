// The user and terminal field codecs: exact text written, and read back.
#include <string.h>

#include <string>

#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "codec";
char *kArgv[] = {kProgram, nullptr};

class CodecTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
        box.write("/etc/default/security", "TCBFILES=OFF\n");  // built-in authorizations
    }
    void TearDown() override { free(buf); }

    template <typename Store>
    std::string written(Store store) {
        FILE *f = fopen(box.path("/entry").c_str(), "w+");
        EXPECT_EQ(store(f), 1);
        fclose(f);
        return box.read("/entry");
    }
    // Makes `text` the current authcap entry.
    void current(const std::string &text) {
        box.write("/entry", text);
        FILE *f = fopen(box.path("/entry").c_str(), "r");
        ASSERT_EQ(agetent(&buf, &len, nullptr, VANT_OBJ_TTYS, nullptr, f), 1);
        fclose(f);
    }

    char *buf = nullptr;
    int len = 0;
};

TEST_F(CodecTest, UserEntryWrapsAroundThePassword) {
    pr_field f{};
    pr_flag fl{};
    strcpy(f.u_name, "alice");
    f.u_id = 1000;
    strcpy(f.u_pwd, "abCDEFGHIJKLM");
    f.u_lock = 1;
    for (auto bit : {PR_U_NAME, PR_U_ID, PR_U_PWD, PR_U_LOCK})
        PR_SET(fl, bit);
    EXPECT_EQ(written([&](FILE *fp) { return store_pw_fields(fp, "alice", &f, &fl); }),
              "alice:u_name=alice:u_id#1000:\\\n"
              "\t:u_pwd=abCDEFGHIJKLM:\\\n"
              "\t:u_lock:chkent:\n");
}

// Every field read, and written again as it was read.
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
    pr_field f{};
    pr_flag fl{};
    ASSERT_EQ(read_pw_fields(&f, &fl), 0);
    // Every assigned bit is present, the unassigned ones are not.
    EXPECT_EQ(fl.words[0], 0xFFFF);
    EXPECT_EQ(fl.words[1], 0xDFFF);
    EXPECT_EQ(fl.words[2], 0x0007);
    EXPECT_STREQ(f.u_savedpwd, f.u_pwd);
    EXPECT_EQ(f.u_priority, -4);
    EXPECT_EQ(f.u_cmdpriv, (1u << 3) | (1u << 16));
    EXPECT_EQ(f.u_pswduser, 1000);
    EXPECT_EQ(f.u_numunsuclog, 2);
    PR_CLR(fl, PR_U_SAVEDPWD);
    EXPECT_EQ(written([&](FILE *fp) { return store_pw_fields(fp, "bob", &f, &fl); }), text);
}

TEST_F(CodecTest, OwnIdIsWrittenAsOwnNameEvenWhenUnknownAnotherNot) {
    pr_field f{};
    pr_flag fl{};
    strcpy(f.u_name, "ghost");
    f.u_id = 4242;
    f.u_pswduser = 4242;
    for (auto bit : {PR_U_NAME, PR_U_ID, PR_U_PSWDUSER})
        PR_SET(fl, bit);
    EXPECT_EQ(written([&](FILE *fp) { return store_pw_fields(fp, "ghost", &f, &fl); }),
              "ghost:u_name=ghost:u_id#4242:u_pswduser=ghost:\\\n\t:chkent:\n");
    f.u_pswduser = 4243;
    FILE *fp = fopen(box.path("/entry").c_str(), "w");
    EXPECT_EQ(store_pw_fields(fp, "ghost", &f, &fl), 0);
    fclose(fp);
}

TEST_F(CodecTest, ReadingClampsSegmentsAndCutsLongTexts) {
    current("x:u_name=averyveryverylongname:u_pwseg#0:u_suctty=abcdefghijklmnop:u_lock@:chkent:\n");
    pr_field f{};
    pr_flag fl{};
    ASSERT_EQ(read_pw_fields(&f, &fl), 0);
    EXPECT_STREQ(f.u_name, "averyver");
    EXPECT_STREQ(f.u_suctty, "abcdefghijkl");
    EXPECT_EQ(f.u_pwseg, 1);
    EXPECT_TRUE(PR_ISSET(fl, PR_U_LOCK));
    EXPECT_EQ(f.u_lock, 0);
    EXPECT_FALSE(PR_ISSET(fl, PR_U_ID));
    current("x:u_pwseg#15:u_pswduser=nobodyknown:chkent:\n");
    ASSERT_EQ(read_pw_fields(&f, &fl), 0);
    EXPECT_EQ(f.u_pwseg, 10);
    EXPECT_FALSE(PR_ISSET(fl, PR_U_PSWDUSER));
}

TEST_F(CodecTest, TerminalWrapsAfterEveryFourthCountedFieldAndRoundTrips) {
    t_field f{};
    t_flag fl{};
    strcpy(f.t_devname, "tty1");
    PR_T_SET(fl, PR_T_DEVNAME);
    EXPECT_EQ(written([&](FILE *fp) { return store_tc_fields(fp, "tty1", &f, &fl); }),
              "tty1:t_devname=tty1:chkent:\n");
    f.t_uid = 1000;
    f.t_logtime = 100;
    f.t_unsucuid = 1001;
    f.t_unsuctime = 200;
    f.t_prevuid = 0;
    f.t_prevtime = 300;
    f.t_failures = 1;
    f.t_maxtries = 9;
    f.t_logdelay = 2;
    strcpy(f.t_label, "front desk");
    f.t_lock = 0;
    f.t_login_timeout = 60;
    fl.word = 0x1FFF;
    std::string text = written([&](FILE *fp) { return store_tc_fields(fp, "tty1", &f, &fl); });
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
    EXPECT_EQ(memcmp(&back, &f, sizeof f), 0);

    // A user without a name cannot be written.
    f.t_uid = 4242;
    FILE *fp = fopen(box.path("/entry").c_str(), "w");
    EXPECT_EQ(store_tc_fields(fp, "tty1", &f, &fl), 0);
    fclose(fp);
    EXPECT_EQ(box.read("/entry"), "tty1:t_devname=tty1:");
}

}  // namespace
}  // namespace vant::test
