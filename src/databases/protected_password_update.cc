// Writing a user's Protected Password entry and, when the site mirrors,
// the user's /etc/passwd and /etc/shadow lines in the same step: both sides
// change together or, when the site requires integrity, neither does.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "authdb/authdb.h"
#include "authdb/entry_lock.h"
#include "authdb/update.h"
#include "authorizations/authorizations.h"
#include "databases/databases.h"
#include "databases/protected_password.h"
#include "databases/storable.h"
#include "frame/frame.h"
#include "frame/quiet_zone.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"
#include "mirror/mirror_rule.h"
#include "platform/root.h"

namespace vant::databases {
namespace {

constexpr vant_mask_t kRootType = 1u << 0;
constexpr const char *kPurpose = "make new Protected Password entry";
constexpr const char *kCannotUpdate = "cannot update entry";
constexpr int kObjEtcFiles = 12;

struct Update {
    const char *name;
    struct pr_passwd copy;
    int mirroring;
    int integrity;
    int authority;
    size_t segment;
    bool is_new;
    bool replacing;  // the entry's new version is to go into place
    int entry_result;
    int etc_result;
};

bool has_name(const Update &u) {
    return PR_ISSET(u.copy.uflg, PR_U_NAME);
}

mirror::Regime regime(const Update &u) {
    return mirror::regime(u.integrity, u.authority);
}

// Text the entry format cannot hold would let the entry, or the user's
// conventional lines, be read back as something else.
bool storable(const char *name, const struct pr_passwd &pr) {
    const struct pr_field &f = pr.ufld;
    const struct pr_flag &fl = pr.uflg;
    struct Text {
        uint32_t bit;
        const char *text;
        size_t size;
    };
    const Text texts[] = {{PR_U_NAME, f.u_name, sizeof f.u_name},
                          {PR_U_PWD, f.u_pwd, sizeof f.u_pwd},
                          {PR_U_SAVEDPWD, f.u_savedpwd, sizeof f.u_savedpwd},
                          {PR_U_OWNER, f.u_owner, sizeof f.u_owner},
                          {PR_U_SUCTTY, f.u_suctty, sizeof f.u_suctty},
                          {PR_U_UNSUCTTY, f.u_unsuctty, sizeof f.u_unsuctty}};
    if (!storable_name(name)) return false;
    for (const Text &t : texts)
        if (PR_ISSET(fl, t.bit) && !storable_value(t.text, t.size)) return false;
    return true;
}

void read_settings(Update &u) {
    databases::setprdfent();
    databases::disable_etc_default();
    struct pr_default *df = databases::getprdfnam("default");
    if (df != nullptr) {
        u.mirroring =
            mirror::evaluate_mirroring_fields(&u.integrity, &u.authority, &df->prd, &df->prg);
        u.segment = pwd_segment_length(&df->prd, &df->prg);
    }
    databases::enable_etc_default();
    databases::endprdfent();
}

// A password the lookup cut for mirroring goes back whole; the superuser
// always holds everything.
void prepare_for_mirroring(Update &u) {
    struct pr_field &f = u.copy.ufld;
    struct pr_flag &fl = u.copy.uflg;
    if (PR_ISSET(fl, PR_U_PWD) && PR_ISSET(fl, PR_U_SAVEDPWD) && u.segment != 0 &&
        strncmp(f.u_pwd, f.u_savedpwd, u.segment - 1) == 0)
        memcpy(f.u_pwd, f.u_savedpwd, sizeof f.u_pwd);
    if (PR_ISSET(fl, PR_U_ID) && f.u_id == 0) {
        grant_superuser_privileges(&f, &fl);
        f.u_type = kRootType;
        PR_SET(fl, PR_U_TYPE);
    }
}

bool directory_missing(const char *path) {
    const char *slash = strrchr(path, '/');
    char *dir = strndup(path, static_cast<size_t>(slash - path));
    if (dir == nullptr) return false;
    struct stat st;
    bool missing = platform::stat_file(dir, &st) != 0 && errno == ENOENT;
    free(dir);
    return missing;
}

// The user's new conventional lines, with the password cut as the lookup
// cuts it.
bool assemble_lines(Update &u) {
    struct pr_field etc = u.copy.ufld;
    if (u.segment != 0 && u.segment < sizeof etc.u_pwd) etc.u_pwd[u.segment] = '\0';
    return mirror::put_pw_fields(u.name, &etc, &u.copy.uflg) == 1;
}

// Both sides prepared as far as they could be: the rule decides which go
// into place. Whether the entry does.
bool settle(Update &u, bool entry_ready) {
    if (u.etc_result == 1) u.etc_result = assemble_lines(u) ? 1 : 0;
    const mirror::Settlement &s = mirror::settle(regime(u), entry_ready, u.etc_result == 1);
    return mirror::carry_out(
        s, [&] { return mirror::replace_pw_files(&u.copy.ufld, &u.copy.uflg) == 1 ? 1 : 0; },
        [] { mirror::unlock_pw_files(); }, u.entry_result, u.etc_result, 1);
}

// Removing the entry keeps the transition file, the writers' lock, until
// the entry is gone.
bool remove_entry(const char *path) {
    return platform::unlink_file(path) == 0 || errno == ENOENT;
}

// The new version of the entry, written into the transition file; whether
// it goes into place.
bool write_entry(Update &u, const char *path, FILE *out) {
    bool ready =
        !has_name(u) || (databases::store_pw_fields(out, u.name, &u.copy.ufld, &u.copy.uflg) == 1 &&
                         fflush(out) == 0 && !ferror(out));
    u.entry_result = ready ? 1 : 0;
    bool install = u.mirroring ? settle(u, ready) : ready;
    if (!install) return false;
    if (has_name(u)) {
        u.replacing = true;
        return true;
    }
    u.entry_result = remove_entry(path) ? 1 : 0;
    return false;
}

// Whether the entry's update was started: without a transition file the
// entry stays as it is.
bool update_entry(Update &u) {
    authdb::OwnedText path = authdb::find_auth_file(u.name, VANT_OBJ_PRPW);
    if (path == nullptr) return false;
    if (directory_missing(path.get()) && mirror::etc_may_stand_alone(regime(u))) return false;
    struct stat st;
    u.is_new = platform::lstat_file(path.get(), &st) != 0;
    authdb::UpdateResult result = authdb::update_database(
        path.get(), kPurpose, [&](FILE *out) { return write_entry(u, path.get(), out); });
    if (u.replacing) u.entry_result = result == authdb::UpdateResult::replaced ? 1 : 0;
    return result != authdb::UpdateResult::not_started;
}

void update(Update &u) {
    frame::QuietZone quiet;
    if (u.mirroring) u.etc_result = mirror::lock_pw_files() == 1 ? 1 : 0;
    bool started = update_entry(u);
    if (!u.mirroring)
        u.etc_result = 1;
    else if (!started)
        settle(u, false);
}

void report(const Update &u) {
    if (u.entry_result == 0) frame::audit_auth_entry(u.name, VANT_OBJ_PRPW, kCannotUpdate);
    if (u.etc_result == 0) frame::audit_auth_entry(u.name, kObjEtcFiles, kCannotUpdate);
}

// A new user the mirrored site created gets its authorizations: the ones
// the record lists, or a default user's.
void record_authorizations(const Update &u) {
    if (regime(u) == mirror::Regime::integrity || !u.mirroring || !u.is_new ||
        mirror::get_override_mode() != OVERRIDE_NONE)
        return;
    const vant_mask_t *vector =
        PR_ISSET(u.copy.uflg, PR_U_CMDPRIV) && has_name(u) ? &u.copy.ufld.u_cmdpriv : nullptr;
    authorizations::write_authorization_bits(u.name, vector);
}

int put(const char *name, const struct pr_passwd *pr) {
    Update u{};
    u.name = name;
    u.copy = *pr;
    u.authority = 1;
    if (!storable(name, u.copy)) {
        frame::audit_auth_entry(name, VANT_OBJ_PRPW, kCannotUpdate);
        databases::endprpwent();
        return 0;
    }
    read_settings(u);
    if (u.mirroring) prepare_for_mirroring(u);
    if (mirror::get_write_mode() == WRITE_PROTECTED_ONLY) u.mirroring = 0;
    update(u);
    report(u);
    databases::endprpwent();
    int result = u.entry_result == 1 && u.etc_result == 1 ? 1 : 0;
    if (result == 1) record_authorizations(u);
    return result;
}

}  // namespace
}  // namespace vant::databases

namespace vant::databases {

int putprpwnam(const char *name, struct pr_passwd *pr) {
    if (pr == nullptr) return 0;
    frame::check_auth_parameters();
    if (name == nullptr) return 0;
    authdb::EntryLock serialised(name, VANT_OBJ_PRPW);
    return vant::databases::put(name, pr);
}

}  // namespace vant::databases
