// Looking a user up in the Protected Password database: the entry, the
// system defaults beside it, and, when the site mirrors, the user's
// conventional lines reconciled with it.
#include <string.h>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "databases/protected_password.h"
#include "frame/frame.h"
#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"
#include "mirror/mirror_rule.h"
#include "platform/nis.h"

namespace vant::databases {
namespace {

constexpr vant_mask_t kRootType = 1u << 0;
constexpr vant_mask_t kGeneralType = 1u << 5;
constexpr vant_mask_t kRetiredType = 1u << 6;

enum EtcLine { no_line = -1, file_line = 0, nis_line = 1 };

struct Lookup {
    const char *name;
    struct pr_passwd *pr;
    struct pr_passwd *etc;
    int mode;
    int mirroring;
    int integrity;
    int authority;
    int etc_found;
    bool protected_entry;

    mirror::Regime regime() const { return mirror::regime(integrity, authority); }
};

// The System Default entry's fields become the record's second half.
bool take_defaults(struct pr_passwd *pr) {
    databases::setprdfent();
    databases::disable_etc_default();
    struct pr_default *df = databases::getprdfnam("default");
    databases::enable_etc_default();
    if (df != nullptr) {
        pr->sfld = df->prd;
        pr->sflg = df->prg;
    }
    databases::endprdfent();
    if (df != nullptr) return true;
    frame::intl_audit_no_resource(vant_defaultsdb, frame::intl_msg(15, vant_defaultsdb),
                                  VANT_OBJ_DEFAULT, vant_badread,
                                  frame::intl_msg(16, vant_badread));
    return false;
}

// Whether a lookup without the user's conventional lines may go on.
bool missing_line_allowed(const Lookup &l) {
    if (l.mode == OVERRIDE_NONE) return mirror::protected_may_stand_alone(l.regime());
    return l.mode != OVERRIDE_ETC_FILES;
}

// A user supplied by NIS keeps no protected entry of its own: the entry is
// removed, unless the site requires integrity.
bool drop_nis_users_entry(const Lookup &l) {
    if (databases::integreq() != 0) return false;
    struct pr_passwd clear {};
    databases::putprpwnam(l.name, &clear);
    return true;
}

enum class Step { go_on, done, fail };

// Reads the entry into the user half; done when the entry alone answers.
Step read_entry(Lookup &l) {
    int found = authdb::agetuser(l.name);
    if (found == 1 && l.etc_found == nis_line && databases::integreq() != 0) return Step::fail;
    // Decoded before any removal below: the removal reuses the entry buffer.
    bool decoded = found == 1 && databases::read_pw_fields(&l.pr->ufld, &l.pr->uflg) == 0;
    if (found == 1 && l.etc_found == nis_line && !drop_nis_users_entry(l)) return Step::fail;
    if (decoded) {
        if (!l.mirroring) return Step::done;
        truncate_passwd(&l.pr->sflg, &l.pr->sfld, &l.pr->ufld);
        if (l.mode == OVERRIDE_PROTECTED_ONLY) return Step::done;
        l.protected_entry = true;
        return Step::go_on;
    }
    l.pr->ufld = {};
    l.pr->uflg = {};
    if (l.mode == OVERRIDE_NONE)
        return l.mirroring && mirror::etc_may_stand_alone(l.regime()) ? Step::go_on : Step::fail;
    return l.mode == OVERRIDE_PROTECTED_ONLY ? Step::fail : Step::go_on;
}

void take_saved_password(Lookup &l) {
    truncate_passwd(&l.pr->sflg, &l.pr->sfld, &l.etc->ufld);
    memcpy(l.etc->ufld.u_savedpwd, l.pr->ufld.u_savedpwd, sizeof l.etc->ufld.u_savedpwd);
    if (PR_ISSET(l.pr->uflg, PR_U_SAVEDPWD))
        PR_SET(l.etc->uflg, PR_U_SAVEDPWD);
    else
        PR_WORD_(l.etc->uflg, PR_U_SAVEDPWD) &= static_cast<uint16_t>(~(PR_U_SAVEDPWD & 0xFFFFu));
}

// In override mode 2 the /etc view is the answer; a password the
// mirroring cut keeps its whole protected form.
struct pr_passwd *etc_view(Lookup &l) {
    const char *etc_pwd = l.etc->ufld.u_pwd;
    const char *pwd = l.pr->ufld.u_pwd;
    if (PR_ISSET(l.pr->uflg, PR_U_PWD) && PR_ISSET(l.etc->uflg, PR_U_PWD) &&
        strncmp(pwd, etc_pwd, strlen(etc_pwd)) == 0) {
        memcpy(l.etc->ufld.u_pwd, pwd, sizeof l.etc->ufld.u_pwd);
    }
    return l.etc;
}

void apply_fixed_rules(struct pr_field *f, struct pr_flag *fl) {
    bool superuser = PR_ISSET(*fl, PR_U_ID) && f->u_id == 0;
    if (superuser) grant_superuser_privileges(f, fl);
    if (!PR_ISSET(*fl, PR_U_TYPE)) {
        f->u_type = superuser ? kRootType : kGeneralType;
        PR_SET(*fl, PR_U_TYPE);
    } else if ((f->u_type & kRetiredType) != 0) {
        strcpy(f->u_pwd, "*");
        PR_SET(*fl, PR_U_PWD);
    }
}

// The steps after the entry was read: the /etc files and the
// reconciliation of both views.
struct pr_passwd *reconcile(Lookup &l) {
    take_saved_password(l);
    if (mirror::pre_v3_passwd() && l.mode == OVERRIDE_NONE && !frame::oktofaketcb() &&
        l.etc_found != nis_line)
        return l.protected_entry ? l.pr : nullptr;
    if (mirror::get_dflt_fields(&l.etc->sfld, &l.etc->sflg) == 0) {
        if (l.mode == OVERRIDE_NONE && !mirror::protected_may_stand_alone(l.regime()))
            return nullptr;
        if (l.mode == OVERRIDE_ETC_FILES) return nullptr;
    }
    if (l.mode == OVERRIDE_ETC_FILES) return etc_view(l);
    if (mirror::validate_dflt_fields(l.integrity, l.authority, &l.pr->sfld, &l.pr->sflg,
                                     &l.etc->sfld, &l.etc->sflg) == -1)
        return nullptr;
    if (mirror::validate_passwd_fields(l.integrity, l.authority, &l.pr->ufld, &l.pr->uflg,
                                       &l.etc->ufld, &l.etc->uflg) == -1)
        return nullptr;
    apply_fixed_rules(&l.pr->ufld, &l.pr->uflg);
    return l.pr;
}

struct pr_passwd *look_up(const char *name) {
    if (databases::setprpwent() != 0 || prpw_record() == nullptr || etc_prpw_record() == nullptr)
        return nullptr;
    Lookup l{name, prpw_record(), etc_prpw_record(), mirror::get_override_mode(), 0, 0, 1,
             0,    false};
    *l.pr = {};
    *l.etc = {};
    if (!take_defaults(l.pr)) return nullptr;
    l.mirroring =
        mirror::evaluate_mirroring_fields(&l.integrity, &l.authority, &l.pr->sfld, &l.pr->sflg);
    l.etc_found = mirror::get_pw_fields(name, &l.etc->ufld, &l.etc->uflg);
    if (l.etc_found == no_line && !missing_line_allowed(l)) return nullptr;
    if (l.etc_found == nis_line) l.integrity = l.authority = 0;
    if (platform::nis_has_rewind()) platform::nis_rewind(platform::kNisPasswdStream);
    switch (read_entry(l)) {
        case Step::done:
            return l.pr;
        case Step::fail:
            return nullptr;
        case Step::go_on:
            break;
    }
    return reconcile(l);
}

}  // namespace
}  // namespace vant::databases

namespace vant::databases {

struct pr_passwd *getprpwnam(const char *name) {
    frame::check_auth_parameters();
    if (name == nullptr || name[0] == '\0') return nullptr;
    return vant::databases::look_up(name);
}

struct pr_passwd *getprpwuid(int uid) {
    frame::check_auth_parameters();
    const char *mapped = frame::pw_idtoname(uid);
    if (mapped == nullptr) return nullptr;
    // The lookup may reload the id map that holds the name.
    char name[256];
    size_t length = strnlen(mapped, sizeof name);
    if (length == sizeof name) return nullptr;
    memcpy(name, mapped, length + 1);
    return databases::getprpwnam(name);
}

}  // namespace vant::databases
