// What every database writer promises, whatever its file: an entry is
// replaced, added or deleted, every other byte kept, in File Control's mode;
// a failed update changes nothing and leaves nothing behind; another
// writer's transition file holds the update off; a writer killed at any step
// leaves the old file or the new one; writers at work together lose nothing.
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "databases/databases_fixture.h"
#include "support/crash.h"

namespace vant::test {
namespace {

// Versions a put writes: 0 deletes the entry, 1 and 2 are its two texts,
// kOwn is the reader's own record changed to version 2, kRefused a record
// the writer must refuse. A put answers 1 when it landed, kCannot when the
// writer has no such operation.
constexpr int kOwn = 3, kRefused = 4, kCannot = -1;

struct Writer {
    const char *label;
    const char *file;         // null: one file per entry
    const char *head, *tail;  // what stands around the entry `existing`
    const char *existing, *added;
    std::string (*entry)(const std::string &key, int version);
    int (*put)(const std::string &key, int version);
    int audit_code;  // of the refusal's record; 0: none
    mode_t mode;     // from File Control
    int group;       // from File Control; -1: the creator's
    int updates;     // of the files a put replaces, one after another
    std::string path(const std::string &key) const { return file ? file : prpw_path(key); }
    std::string before() const { return head + entry(existing, 1) + tail; }
    std::string after() const { return head + entry(existing, 2) + tail; }
    friend void PrintTo(const Writer &w, std::ostream *out) { *out << w.label; }
};

std::string tc_entry(const std::string &key, int v) {
    return key + ":t_devname=" + key + ":t_failures#" + std::to_string(v) + ":chkent:\n";
}
int tc_put(const std::string &key, int v) {
    struct pr_term r = {}, *own = v == kOwn ? getprtcnam(key.c_str()) : &r;
    if (own == nullptr) return 0;
    if (v == kOwn) own->ufld.t_failures = 2;
    if (v == 1 || v == 2 || v == kRefused) {
        snprintf(r.ufld.t_devname, sizeof r.ufld.t_devname, "%s", key.c_str());
        r.ufld.t_failures = static_cast<uint16_t>(v);
        r.uflg.word = PR_T_DEVNAME | (v == kRefused ? PR_T_UID : PR_T_FAILURES);
        r.ufld.t_uid = 4242;  // no name to write it as
    }
    return putprtcnam(key.c_str(), own);
}

std::string dv_entry(const std::string &key, int v) {
    return key + ":v_devs=/dev/null:v_type=" + (v == 1 ? "printer" : "tape") + ":chkent:\n";
}
int dv_put(const std::string &key, int v) {
    static char null_dev[] = "/dev/null";
    static char *devs[] = {null_dev, nullptr};
    struct dev_asg r = {}, *own = v == kOwn ? getdvagnam(key.c_str()) : &r;
    if (own == nullptr) return 0;
    if (v != 0) {
        r.ufld.v_name = const_cast<char *>(key.c_str());
        r.ufld.v_devs = devs;
        r.uflg.word = PR_V_NAME | PR_V_DEVS | PR_V_TYPE;
        own->ufld.v_type = v == 1 ? 1u : v == kRefused ? 0 : 4u;  // printer, nameless, tape
    }
    return putdvagnam(own == &r ? key.c_str() : own->ufld.v_name, own);
}

std::string fc_entry(const std::string &key, int v) {
    return key + ":f_mode#0" + (v == 1 ? "640" : "600") + ":f_type=r:chkent:\n";
}
int fc_put(const std::string &key, int v) {
    struct pr_file r = {}, *own = v == kOwn ? getprfinam(key.c_str()) : &r;
    if (v == 0 || own == nullptr) return v == 0 ? kCannot : 0;  // entries stay
    own->ufld.f_mode = v == 1 || v == kRefused ? 0640 : 0600;
    if (own == &r) {
        r.ufld.f_type = 'r';
        r.ufld.f_owner = 4242;  // no name to write it as
        r.uflg.word = PR_F_MODE | PR_F_TYPE | (v == kRefused ? PR_F_OWNER : 0);
    }
    return putprfinam(own == &r ? key.c_str() : own->ufld.f_name, own);
}

std::string df_entry(const std::string &key, int v) {
    return key + ":\\\n\t:d_name=" + key + ":\\\n\t:u_maxlen#" + std::to_string(3 + v) +
           ":\\\n\t:\\\n\t:chkent:\n";
}
int df_put(const std::string &key, int v) {
    struct pr_default r = {}, *own = v == kOwn ? getprdfnam(key.c_str()) : &r;
    if (own == nullptr) return 0;
    if (v != 0) {
        snprintf(r.d_name, sizeof r.d_name, "%s", key.c_str());
        r.d_name_present = 1;
        PR_SET(r.prg, PR_U_MAXLEN);
        own->prd.u_maxlen = v == kOwn ? 5 : v == kRefused ? 4 : 3 + v;
    }
    r.prd.u_pswduser = 4242;  // no name to write it as
    if (v == kRefused) PR_SET(r.prg, PR_U_PSWDUSER);
    return putprdfnam(key.c_str(), own);
}

std::string pw_entry(const std::string &key, int v) {
    return key + ":u_name=" + key + ":\\\n\t:u_pwd=password" + std::to_string(v) +
           ":\\\n\t:chkent:\n";
}
int pw_put(const std::string &key, int v) {
    struct pr_passwd r =
        v == 0 ? pr_passwd{} : user_record(key, -1, "password" + std::to_string(v));
    struct pr_passwd *own = v == kOwn ? getprpwnam(key.c_str()) : &r;
    if (own == nullptr) return 0;
    if (v == kOwn) strcpy(own->ufld.u_pwd, "password2");
    if (v == kRefused) strcpy(r.ufld.u_pwd, "x:u_id#0");
    return putprpwnam(key.c_str(), own);
}

// The grant files: a user's line in each subsystem's file.
std::string gr_entry(const std::string &key, int v) {
    return key + (v == 1 ? ":su\n" : ":su,auth\n");
}
int gr_put(const std::string &key, int v) {
    std::vector<const char *> names{"su", "auth"};
    if (v == kOwn) return kCannot;  // no reader hands out a record
    names.resize(v == 0 ? 0 : v == 1 ? 1 : 2);
    std::string user = v == kRefused ? key + ":su" : key;  // a line for another user
    return write_authorizations(user.c_str(), const_cast<char *const *>(names.data()),
                                static_cast<int>(names.size())) == 0;
}

const Writer kWriters[] = {
    {"TerminalControl", kTtys,
     "# terminals\ntty1|console:t_uid=alice:t_logtime#100:\\\n\t:chkent:\n",
     "# of removed users\ntty3:t_uid=carol:t_site=north:chkent:\nspare:t_maxtries#1:chkent:\n",
     "tty5", "tty9", tc_entry, tc_put, VANT_OBJ_TTYS, 0664, 21, 1},
    {"DeviceAssignment", kDevassign,
     "# devices\nlp0:v_devs=/dev/lp0:v_users=alice,bob:\\\n\t:v_type=printer:chkent:\n",
     "# tapes\nst0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n", "mt5", "mt9",
     dv_entry, dv_put, VANT_OBJ_DEVASSIGN, 0664, 21, 1},
    {"FileControl", kFiles, kFileControl,
     "# patterns cover families of files\n/dev/tty*:f_owner=root:f_mode#0620:f_type=c:chkent:\n",
     "/srv/old", "/srv/new", fc_entry, fc_put, VANT_OBJ_FILES, 0664, 21, 1},
    {"SystemDefault", kSystemDefault,
     "default:\\\n\t:d_name=default:\\\n\t:u_maxlen#8:\\\n\t:\\\n\t:chkent:\n",
     ":\\\n\t:u_maxlen#3:\\\n\t:\\\n\t:chkent:\n", "other", "third", df_entry, df_put,
     VANT_OBJ_DEFAULT, 0664, 21, 1},
    {"ProtectedPassword", nullptr, "", "", "alice", "carol", pw_entry, pw_put, VANT_OBJ_PRPW, 0660,
     21, 1},
    // dflt_users and the audit file are rewritten before the auth file.
    {"GrantFiles", kAuthGrants, "alice:auth\n", "bob:su\n", "jdoe", "carol", gr_entry, gr_put, 0,
     0640, -1, 3},
};

class WriterContractTest : public DatabasesTest, public ::testing::WithParamInterface<Writer> {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        if (!HasFatalFailure()) box.write(file(), w.before(), 0664);
    }
    std::string file() const { return w.path(w.existing); }
    std::string text() const { return box.read(file()); }
    const Writer &w = GetParam();
};

TEST_P(WriterContractTest, ReplacesAddsAndDeletesKeepingEveryOtherByteInFileControlsMode) {
    ASSERT_EQ(chmod(box.path(file()).c_str(), 0600), 0);
    bool root = geteuid() == 0;
    ASSERT_TRUE(!root || chown(box.path(file()).c_str(), 1000, 100) == 0);
    ASSERT_EQ(w.put(w.existing, 2), 1);
    EXPECT_EQ(text(), w.after());
    struct stat st;
    ASSERT_EQ(stat(box.path(file()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, w.mode);
    EXPECT_TRUE(!root || (st.st_uid == 0 && st.st_gid == static_cast<gid_t>(std::max(w.group, 0))));
    ASSERT_EQ(w.put(w.added, 1), 1);
    std::string added = w.entry(w.added, 1), shared = w.file ? added : "";
    EXPECT_EQ(box.read(w.path(w.added)), w.file ? w.after() + added : added);
    if (w.put(w.existing, 0) == kCannot) return;
    EXPECT_EQ(text(), w.head + std::string(w.tail) + shared);
    EXPECT_EQ(w.put("absent", 0), 1) << "nothing to delete";
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_P(WriterContractTest, ARefusedRecordChangesNothingAndLeavesNothingBehind) {
    EXPECT_EQ(w.put(w.existing, kRefused), 0);
    EXPECT_EQ(text(), w.before());
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_EQ(audited(w.existing, w.audit_code), w.audit_code != 0);
}

// Once the other writer's file is gone, the reader's own record is written.
TEST_P(WriterContractTest, AStaleTransitionFileHoldsTheUpdateOff) {
    box.write(file() + "-t", "half written\n");
    EXPECT_EQ(w.put(w.existing, 2), 0);
    EXPECT_GE(naps.delays.size(), 18u) << "the writer waited for the other one";
    EXPECT_EQ(text(), w.before());
    EXPECT_EQ(box.read(file() + "-t"), "half written\n");
    box.remove(file() + "-t");
    if (w.put(w.existing, kOwn) == kCannot) return;  // no reader hands out a record
    EXPECT_EQ(text(), w.after());
}

TEST_P(WriterContractTest, AWriterKilledAtAnyStepLeavesTheOldFileOrTheNew) {
    CrashRun run;
    run.prepare = [this] { box.write(file(), w.before(), 0664); };
    run.update = [this] { w.put(w.existing, 2); };
    // A dead writer's transition file holds the next one off until it is
    // removed; whatever else it left does not stop the next update.
    run.after_kill = [this](const Kill &) {
        EXPECT_TRUE(!box.exists(file() + "-t") || w.put(w.existing, 1) != 1);
        for (const std::string &p : left_behind(box))
            if (p.ends_with("-t")) box.remove(p);
        EXPECT_EQ(w.put(w.existing, 1), 1);
        EXPECT_EQ(text(), w.before());
        EXPECT_NOTHING_LEFT_BEHIND(box);
    };
    std::vector<Kill> kills = kill_at_every_step(box, {{file(), w.before(), w.after()}}, run);
    if (w.updates == 1) expect_new_from_rename_on(kills);
}

// Four writers, started together, put four entries each.
TEST_P(WriterContractTest, ConcurrentWritersLoseNothing) {
    if (w.file == nullptr) GTEST_SKIP() << "one file per entry";
    naps.real_share = 0.1;
    auto key = [](int p, int k) { return "w" + std::to_string(p) + std::to_string(k); };
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> writers;
    for (int p = 0; p < 4; ++p)
        if (pid_t pid = fork(); pid != 0) {
            writers.push_back(pid);
        } else {
            char c;
            close(gate[1]);
            while (read(gate[0], &c, 1) > 0) {
            }
            int lost = 0;
            for (int k = 0, tries = 0; k < 4; ++k, tries = 0) {
                while (w.put(key(p, k), 1) != 1 && ++tries < 5) {
                }
                lost += tries == 5;
            }
            _exit(lost);
        }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "an update never landed";
    }
    std::string now = text(), expected = w.before();
    for (int p = 0; p < 4; ++p)
        for (int k = 0; k < 4; ++k) {
            EXPECT_NE(now.find(w.entry(key(p, k), 1)), std::string::npos) << key(p, k) << " lost";
            expected += w.entry(key(p, k), 1);
        }
    EXPECT_TRUE(now.starts_with(w.before()));
    EXPECT_EQ(now.size(), expected.size()) << now;
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterContractTest, ::testing::ValuesIn(kWriters),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vant::test
