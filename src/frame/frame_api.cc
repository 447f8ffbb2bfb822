// The exported C functions of the frame module.
#include <stdarg.h>

#include "frame/frame.h"

extern "C" {

int set_auth_parameters(int argc, char **argv) {
    return vant::frame::set_auth_parameters(argc, argv);
}

void check_auth_parameters(void) {
    vant::frame::check_auth_parameters();
}

vant_id_t starting_luid(void) {
    return vant::frame::starting_luid();
}

vant_id_t starting_ruid(void) {
    return vant::frame::starting_ruid();
}

vant_id_t starting_euid(void) {
    return vant::frame::starting_euid();
}

vant_id_t starting_rgid(void) {
    return vant::frame::starting_rgid();
}

vant_id_t starting_egid(void) {
    return vant::frame::starting_egid();
}

int is_starting_luid(int uid) {
    return vant::frame::is_starting_luid(uid);
}

int is_starting_ruid(int uid) {
    return vant::frame::is_starting_ruid(uid);
}

int is_starting_euid(int uid) {
    return vant::frame::is_starting_euid(uid);
}

int is_starting_rgid(int gid) {
    return vant::frame::is_starting_rgid(gid);
}

int is_starting_egid(int gid) {
    return vant::frame::is_starting_egid(gid);
}

int enter_quiet_zone(void) {
    return vant::frame::enter_quiet_zone();
}

int exit_quiet_zone(void) {
    return vant::frame::exit_quiet_zone();
}

int stopio(const char *path) {
    return vant::frame::stopio(path);
}

int getluid(void) {
    return vant::frame::getluid();
}

int setluid(int uid) {
    return vant::frame::setluid(uid);
}

int statpriv(int type, priv_t *vector, int object, int *word) {
    return vant::frame::statpriv(type, vector, object, word);
}

int chpriv(int type, priv_t *vector, int object, int *word) {
    return vant::frame::chpriv(type, vector, object, word);
}

int getpriv(int type, priv_t *vector) {
    return vant::frame::getpriv(type, vector);
}

int setpriv(int type, priv_t *vector) {
    return vant::frame::setpriv(type, vector);
}

void set_auth_msg(int behaviour) {
    vant::frame::set_auth_msg(behaviour);
}

int get_auth_msg_behaviour(void) {
    return vant::frame::get_auth_msg_behaviour();
}

const char *intl_msg(int number, const char *default_text) {
    return vant::frame::intl_msg(number, default_text);
}

void store_msg(int severity, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vant::frame::vstore_msg(severity, format, args);
    va_end(args);
}

int get_auth_msg(char **text) {
    return vant::frame::get_auth_msg(text);
}

int pw_nametoid(const char *name) {
    return vant::frame::pw_nametoid(name);
}

char *pw_idtoname(int id) {
    return vant::frame::pw_idtoname(id);
}

int gr_nametoid(const char *name) {
    return vant::frame::gr_nametoid(name);
}

char *gr_idtoname(int id) {
    return vant::frame::gr_idtoname(id);
}

int audit_auth_entry(const char *object, int code, const char *text) {
    return vant::frame::audit_auth_entry(object, code, text);
}

void audit_lax_file(const char *file, const char *text) {
    vant::frame::audit_lax_file(file, text);
}

int audit_no_resource(const char *resource, int code, const char *reason) {
    return vant::frame::audit_no_resource(resource, code, reason);
}

int intl_audit_no_resource(const char *resource, const char *resource_msg, int code,
                           const char *reason, const char *reason_msg) {
    return vant::frame::intl_audit_no_resource(resource, resource_msg, code, reason, reason_msg);
}

int sa_audit_no_resource(const char *resource, int code, const char *reason) {
    return vant::frame::sa_audit_no_resource(resource, code, reason);
}

int audit_no_memory(void) {
    return vant::frame::audit_no_memory();
}

int audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                           const char *result) {
    return vant::frame::audit_security_failure(code, id1, id2, action, result);
}

int sa_audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                              const char *result) {
    return vant::frame::sa_audit_security_failure(code, id1, id2, action, result);
}

int audit_subsystem(int code, const char *text1, const char *text2) {
    return vant::frame::audit_subsystem(code, text1, text2);
}

int sa_audit_subsystem(int code, const char *text1, const char *text2) {
    return vant::frame::sa_audit_subsystem(code, text1, text2);
}

int sa_audit_lock(int code, const char *name) {
    return vant::frame::sa_audit_lock(code, name);
}

void audit_login(const struct pr_passwd *pr, const struct passwd *pwd, const char *tty,
                 int result) {
    return vant::frame::audit_login(pr, pwd, tty, result);
}

int audit_passwd(const struct pr_passwd *pr, int result) {
    return vant::frame::audit_passwd(pr, result);
}

void audit_lock(const struct pr_passwd *pr, uint16_t kind, uint16_t count) {
    vant::frame::audit_lock(pr, kind, count);
}

void sa_audit_audit(uint16_t code, const char *text) {
    vant::frame::sa_audit_audit(code, text);
}

void audit_adjust_mask(const struct pr_passwd *pr) {
    vant::frame::audit_adjust_mask(pr);
}

int oktofaketcb(void) {
    return vant::frame::oktofaketcb();
}

}  // extern "C"
