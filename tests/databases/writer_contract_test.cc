// What every database writer promises, whatever its file: an entry is
// replaced, added or deleted and every other byte kept; a failed update
// changes nothing and leaves nothing behind; another writer's transition
// file holds the update off; the new file takes its mode from File Control;
// a writer killed at any step leaves the old file or the new one; writers at
// work together lose nothing.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "databases/databases_fixture.h"
#include "support/crash.h"

namespace vant::test {
namespace {

// One writer, driven through its entry point. An entry has two versions
// (1 and 2); version 0 deletes it, where the writer deletes.
struct Writer {
    const char *label;
    std::string (*path)(const std::string &key);
    const char *head, *tail;  // what stands around the entry `existing`
    const char *existing, *added;
    std::string (*entry)(const std::string &key, int version);
    int (*put)(const std::string &key, int version);  // 1 landed; -1 no deletion
    int (*put_own)(const std::string &key);           // the reader's record, at version 2
    int (*put_failing)(const std::string &key);       // a record the writer must refuse
    int audit_code;                                   // of the refusal's record; 0: none
    mode_t mode;                                      // from File Control
    int group;                                        // from File Control; -1: the creator's
    int updates;  // of the files a put replaces, one after another
    std::string before() const { return head + entry(existing, 1) + tail; }
    std::string after() const { return head + entry(existing, 2) + tail; }
    bool shared() const { return path(existing) == path(added); }
    friend void PrintTo(const Writer &w, std::ostream *out) { *out << w.label; }
};

// ---- Terminal Control

std::string tc_entry(const std::string &key, int v) {
    return key + ":t_devname=" + key + ":t_failures#" + std::to_string(v) + ":chkent:\n";
}
int tc_put(const std::string &key, int v) {
    struct pr_term r {};
    if (v != 0) {
        snprintf(r.ufld.t_devname, sizeof r.ufld.t_devname, "%s", key.c_str());
        r.ufld.t_failures = static_cast<uint16_t>(v);
        PR_T_SET(r.uflg, PR_T_DEVNAME);
        PR_T_SET(r.uflg, PR_T_FAILURES);
    }
    return putprtcnam(key.c_str(), &r);
}
int tc_own(const std::string &key) {
    struct pr_term *pr = getprtcnam(key.c_str());
    if (pr == nullptr) return -1;
    pr->ufld.t_failures = 2;
    return putprtcnam(key.c_str(), pr);
}
int tc_failing(const std::string &key) {
    struct pr_term r {};
    snprintf(r.ufld.t_devname, sizeof r.ufld.t_devname, "%s", key.c_str());
    r.ufld.t_uid = 4242;  // no name to write it as
    PR_T_SET(r.uflg, PR_T_DEVNAME);
    PR_T_SET(r.uflg, PR_T_UID);
    return putprtcnam(key.c_str(), &r);
}

// ---- Device Assignment

constexpr uint32_t kPrinter = 1u << 0, kTape = 1u << 2;
std::string dv_entry(const std::string &key, int v) {
    return key + ":v_devs=/dev/null:v_type=" + (v == 1 ? "printer" : "tape") + ":chkent:\n";
}
int dv_put_type(const std::string &key, int v, uint32_t type) {
    static char null_dev[] = "/dev/null";
    char *devs[] = {null_dev, nullptr};
    std::string name = key;
    struct dev_asg r {};
    if (v != 0) {
        r.ufld.v_name = name.data();
        r.ufld.v_devs = devs;
        r.ufld.v_type = type;
        r.uflg.word = PR_V_NAME | PR_V_DEVS | PR_V_TYPE;
    }
    return putdvagnam(key.c_str(), &r);
}
int dv_put(const std::string &key, int v) {
    return dv_put_type(key, v, v == 1 ? kPrinter : kTape);
}
int dv_own(const std::string &key) {
    struct dev_asg *d = getdvagnam(key.c_str());
    if (d == nullptr) return -1;
    d->ufld.v_type = kTape;
    return putdvagnam(d->ufld.v_name, d);
}
int dv_failing(const std::string &key) {
    return dv_put_type(key, 1, 0);  // a type without names cannot be read back
}

// ---- File Control

std::string fc_entry(const std::string &key, int v) {
    return key + ":f_mode#0" + (v == 1 ? "640" : "600") + ":f_type=r:chkent:\n";
}
int fc_put_fields(const std::string &key, int v, vant_id_t owner) {
    struct pr_file r {};
    r.ufld.f_mode = v == 1 ? 0640 : 0600;
    r.ufld.f_type = 'r';
    r.uflg.word = PR_F_MODE | PR_F_TYPE;
    if (owner != 0) {
        r.ufld.f_owner = owner;
        PR_F_SET(r.uflg, PR_F_OWNER);
    }
    return putprfinam(key.c_str(), &r);
}
int fc_put(const std::string &key, int v) {
    return v == 0 ? -1 : fc_put_fields(key, v, 0);
}
int fc_own(const std::string &key) {
    struct pr_file *pr = getprfinam(key.c_str());
    if (pr == nullptr) return -1;
    pr->ufld.f_mode = 0600;
    return putprfinam(pr->ufld.f_name, pr);
}
int fc_failing(const std::string &key) {
    return fc_put_fields(key, 1, 4242);
}

// ---- System Default

std::string df_entry(const std::string &key, int v) {
    return key + ":\\\n\t:d_name=" + key + ":\\\n\t:u_maxlen#" + std::to_string(3 + v) +
           ":\\\n\t:\\\n\t:chkent:\n";
}
struct pr_default df_record(const std::string &key, int v) {
    struct pr_default r {};
    if (v == 0) return r;
    snprintf(r.d_name, sizeof r.d_name, "%s", key.c_str());
    r.d_name_present = 1;
    r.prd.u_maxlen = 3 + v;
    PR_SET(r.prg, PR_U_MAXLEN);
    return r;
}
int df_put(const std::string &key, int v) {
    struct pr_default r = df_record(key, v);
    return putprdfnam(key.c_str(), &r);
}
int df_own(const std::string &key) {
    struct pr_default *d = getprdfnam(key.c_str());
    if (d == nullptr) return -1;
    d->prd.u_maxlen = 5;
    return putprdfnam(key.c_str(), d);
}
int df_failing(const std::string &key) {
    struct pr_default r = df_record(key, 1);
    r.prd.u_pswduser = 4242;  // no name to write it as
    PR_SET(r.prg, PR_U_PSWDUSER);
    return putprdfnam(key.c_str(), &r);
}

// ---- Protected Password, unmirrored: one file per user

std::string pw_path(const std::string &key) {
    return prpw_path(key);
}
std::string pw_entry(const std::string &key, int v) {
    return key + ":u_name=" + key + ":\\\n\t:u_pwd=password" + std::to_string(v) +
           ":\\\n\t:chkent:\n";
}
int pw_put_password(const std::string &key, const std::string &password) {
    Record r;
    if (!password.empty()) r.name(key.c_str()).pwd(password.c_str());
    return putprpwnam(key.c_str(), &r.pr);
}
int pw_put(const std::string &key, int v) {
    return pw_put_password(key, v == 0 ? "" : "password" + std::to_string(v));
}
int pw_own(const std::string &key) {
    struct pr_passwd *pr = getprpwnam(key.c_str());
    if (pr == nullptr) return -1;
    strcpy(pr->ufld.u_pwd, "password2");
    return putprpwnam(key.c_str(), pr);
}
int pw_failing(const std::string &key) {
    return pw_put_password(key, "x:u_id#0");
}

// ---- The grant files: a user's line in each subsystem's file

std::string gr_path(const std::string &) {
    return kAuthGrants;
}
std::string gr_entry(const std::string &key, int v) {
    return key + (v == 1 ? ":su\n" : ":su,auth\n");
}
int gr_grant(const std::string &user, std::vector<const char *> names) {
    return write_authorizations(user.c_str(), const_cast<char *const *>(names.data()),
                                static_cast<int>(names.size())) == 0
               ? 1
               : 0;
}
int gr_put(const std::string &key, int v) {
    if (v == 0) return gr_grant(key, {});
    return gr_grant(
        key, v == 1 ? std::vector<const char *>{"su"} : std::vector<const char *>{"su", "auth"});
}
int gr_failing(const std::string &key) {
    return gr_grant(key + ":su", {"auth"});  // would write a line for another user
}

const Writer kWriters[] = {
    {"TerminalControl", [](const std::string &) -> std::string { return kTtys; },
     "# terminals of the sandbox\n"
     "tty1|console:t_devname=tty1:t_uid=alice:t_logtime#100:\\\n\t:t_failures#1:chkent:\n",
     "# a terminal of a user since removed\n"
     "tty3:t_devname=tty3:t_uid=carol:t_site=north:chkent:\nspare:t_maxtries#1:chkent:\n",
     "tty5", "tty9", tc_entry, tc_put, tc_own, tc_failing, VANT_OBJ_TTYS, 0664, 21, 1},
    {"DeviceAssignment", [](const std::string &) -> std::string { return kDevassign; },
     "# devices of the "
     "sandbox\nlp0:v_devs=/dev/lp0:v_users=alice,bob:\\\n\t:v_type=printer:chkent:\n",
     "# tapes\nst0:v_devs=/dev/st0,/dev/nst0:v_type=tape:v_owner=backup:chkent:\n", "mt5", "mt9",
     dv_entry, dv_put, dv_own, dv_failing, VANT_OBJ_DEVASSIGN, 0664, 21, 1},
    {"FileControl", [](const std::string &) -> std::string { return kFiles; }, kFileControl,
     "# patterns cover families of files\n/dev/tty*:f_owner=root:f_mode#0620:f_type=c:chkent:\n",
     "/srv/old", "/srv/new", fc_entry, fc_put, fc_own, fc_failing, VANT_OBJ_FILES, 0664, 21, 1},
    {"SystemDefault", [](const std::string &) -> std::string { return kDefaultDb; },
     "default:\\\n\t:d_name=default:\\\n\t:u_maxlen#8:\\\n\t:\\\n\t:chkent:\n",
     ":\\\n\t:u_maxlen#3:\\\n\t:\\\n\t:chkent:\n", "other", "third", df_entry, df_put, df_own,
     df_failing, VANT_OBJ_DEFAULT, 0664, 21, 1},
    {"ProtectedPassword", pw_path, "", "", "alice", "carol", pw_entry, pw_put, pw_own, pw_failing,
     VANT_OBJ_PRPW, 0660, 21, 1},
    // dflt_users and the audit file are rewritten before the auth file.
    {"GrantFiles", gr_path, "alice:auth\n", "bob:su\n", "jdoe", "carol", gr_entry, gr_put, nullptr,
     gr_failing, 0, 0640, -1, 3},
};

class WriterContractTest : public DatabasesTest, public ::testing::WithParamInterface<Writer> {
  protected:
    void SetUp() override {
        DatabasesTest::SetUp();
        if (HasFatalFailure()) return;
        box.write(file(), w.before(), 0664);
    }
    std::string file() const { return w.path(w.existing); }
    std::string text() const { return box.read(file()); }
    const Writer &w = GetParam();
};

TEST_P(WriterContractTest, ReplacesAddsAndDeletesKeepingEveryOtherByte) {
    ASSERT_EQ(w.put(w.existing, 2), 1);
    EXPECT_EQ(text(), w.after());
    ASSERT_EQ(w.put(w.added, 1), 1);
    std::string added = w.entry(w.added, 1);
    if (w.shared())
        EXPECT_EQ(text(), w.after() + added);
    else
        EXPECT_EQ(box.read(w.path(w.added)), added);
    if (w.put(w.existing, 0) == -1) return;  // entries stay
    EXPECT_EQ(text(), w.head + std::string(w.tail) + (w.shared() ? added : ""));
    EXPECT_EQ(w.put("absent", 0), 1) << "nothing to delete";
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_P(WriterContractTest, WritesTheReadersOwnRecord) {
    if (w.put_own == nullptr) GTEST_SKIP() << "no reader hands out a record";
    EXPECT_EQ(w.put_own(w.existing), 1);
    EXPECT_EQ(text(), w.after());
}

TEST_P(WriterContractTest, ARefusedRecordChangesNothingAndLeavesNothingBehind) {
    EXPECT_EQ(w.put_failing(w.existing), 0);
    EXPECT_EQ(text(), w.before());
    EXPECT_NOTHING_LEFT_BEHIND(box);
    if (w.audit_code != 0) {
        EXPECT_TRUE(audited(w.existing, w.audit_code));
    }
}

TEST_P(WriterContractTest, AStaleTransitionFileHoldsTheUpdateOff) {
    box.write(file() + "-t", "half written\n");
    EXPECT_EQ(w.put(w.existing, 2), 0);
    EXPECT_GE(naps.delays.size(), 18u) << "the writer waited for the other one";
    EXPECT_EQ(text(), w.before());
    EXPECT_EQ(box.read(file() + "-t"), "half written\n");
}

TEST_P(WriterContractTest, TheNewFileTakesModeAndOwnerFromFileControl) {
    chmod(box.path(file()).c_str(), 0600);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(box.path(file()).c_str(), 1000, 100), 0);
    }
    ASSERT_EQ(w.put(w.existing, 2), 1);
    struct stat st;
    ASSERT_EQ(stat(box.path(file()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, w.mode);
    if (geteuid() != 0) return;
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, static_cast<gid_t>(w.group < 0 ? 0 : w.group));
}

TEST_P(WriterContractTest, AWriterKilledAtAnyStepLeavesTheOldFileOrTheNew) {
    CrashRun run;
    run.prepare = [this] { box.write(file(), w.before(), 0664); };
    run.update = [this] { w.put(w.existing, 2); };
    // A dead writer's transition file holds the next one off until it is
    // removed; whatever else it left does not stop the next update.
    run.after_kill = [this](const Kill &) {
        bool held = box.exists(file() + "-t");
        if (w.put(w.existing, 1) == 1) {
            EXPECT_FALSE(held);
        }
        for (const std::string &p : left_behind(box))
            if (p.ends_with("-t")) box.remove(p);
        EXPECT_EQ(w.put(w.existing, 1), 1);
        EXPECT_EQ(text(), w.before());
        EXPECT_NOTHING_LEFT_BEHIND(box);
    };
    std::vector<Kill> kills = kill_at_every_step(box, {{file(), w.before(), w.after()}}, run);
    if (w.updates == 1) expect_new_from_rename_on(kills);
}

TEST_P(WriterContractTest, ConcurrentWritersLoseNothing) {
    if (!w.shared()) GTEST_SKIP() << "one file per entry";
    constexpr int kProcesses = 4, kPuts = 4, kTries = 5;
    naps.real_share = 0.1;
    auto key = [](int p, int k) { return "w" + std::to_string(p) + std::to_string(k); };
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> writers;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid != 0) {
            writers.push_back(pid);
            continue;
        }
        close(gate[1]);  // all start together, once the gate closes
        char c;
        while (read(gate[0], &c, 1) > 0) {
        }
        int lost = 0;
        for (int k = 0; k < kPuts; ++k) {
            int tries = 0;
            while (w.put(key(p, k), 1) != 1 && ++tries < kTries) {
            }
            lost += tries == kTries;
        }
        _exit(lost);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a writer's update never landed";
    }
    std::string now = text();
    EXPECT_EQ(now.substr(0, w.before().size()), w.before());
    size_t size = w.before().size();
    for (int p = 0; p < kProcesses; ++p)
        for (int k = 0; k < kPuts; ++k) {
            std::string entry = w.entry(key(p, k), 1);
            size += entry.size();
            EXPECT_NE(now.find(entry), std::string::npos) << key(p, k) << " was lost";
        }
    EXPECT_EQ(now.size(), size) << now;
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterContractTest, ::testing::ValuesIn(kWriters),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vant::test
