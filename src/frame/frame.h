// The frame module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include <stdarg.h>

#include "vant.h"

namespace vant::frame {

int set_auth_parameters(int argc, char **argv);
void check_auth_parameters(void);
vant_id_t starting_luid(void);
vant_id_t starting_ruid(void);
vant_id_t starting_euid(void);
vant_id_t starting_rgid(void);
vant_id_t starting_egid(void);
int is_starting_luid(int uid);
int is_starting_ruid(int uid);
int is_starting_euid(int uid);
int is_starting_rgid(int gid);
int is_starting_egid(int gid);
int enter_quiet_zone(void);
int exit_quiet_zone(void);
int stopio(const char *path);
int getluid(void);
int setluid(int uid);
int statpriv(int type, priv_t *vector, int object, int *word);
int chpriv(int type, priv_t *vector, int object, int *word);
int getpriv(int type, priv_t *vector);
int setpriv(int type, priv_t *vector);
void set_auth_msg(int behaviour);
int get_auth_msg_behaviour(void);
const char *intl_msg(int number, const char *default_text);
void store_msg(int severity, const char *format, ...) VANT_PRINTF(2, 3);
void vstore_msg(int severity, const char *format, va_list args) VANT_PRINTF(2, 0);
int get_auth_msg(char **text);
int pw_nametoid(const char *name);
char *pw_idtoname(int id);
int gr_nametoid(const char *name);
char *gr_idtoname(int id);
int audit_auth_entry(const char *object, int code, const char *text);
void audit_lax_file(const char *file, const char *text);
int audit_no_resource(const char *resource, int code, const char *reason);
int intl_audit_no_resource(const char *resource, const char *resource_msg, int code,
                           const char *reason, const char *reason_msg);
int sa_audit_no_resource(const char *resource, int code, const char *reason);
int audit_no_memory(void);
int audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                           const char *result);
int sa_audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                              const char *result);
int audit_subsystem(int code, const char *text1, const char *text2);
int sa_audit_subsystem(int code, const char *text1, const char *text2);
int sa_audit_lock(int code, const char *name);
void audit_login(const struct pr_passwd *pr, const struct passwd *pwd, const char *tty, int result);
int audit_passwd(const struct pr_passwd *pr, int result);
void audit_lock(const struct pr_passwd *pr, uint16_t kind, uint16_t count);
void sa_audit_audit(uint16_t code, const char *text);
void audit_adjust_mask(const struct pr_passwd *pr);
int oktofaketcb(void);

}  // namespace vant::frame
