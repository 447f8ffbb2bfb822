// The login services as the rest of the library calls them. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::login {

int smp_check_user(int request, char *user, char *tty, uid_t subject_uid, smp_attempt **attempt,
                   int *retries, char **text, int *nis, int *delay);
void smp_free_attempt(smp_attempt *attempt);
int smp_check_pw(char *password, smp_attempt *attempt, char **text);
int smp_check_account(smp_attempt *attempt, char **text);
void smp_audit_fail(smp_attempt *attempt, int always);
int smp_pw_change(smp_attempt *attempt, char **text);
int smp_pw_choice(smp_attempt *attempt, char **text);
int smp_generate_pw(char *password, char **divided, smp_attempt *attempt);
int smp_try_pw(char *password, smp_attempt *attempt, int *retries, char **text);
int goodpw_set_other_checks(int kind);
int goodpw_check_other(char *password, char *current_crypt, char **text);
int smp_set_pw(char *password, char *again, smp_attempt *attempt, int *retries, char **text);
int execute_initcond(const char *kind, const char *tty, const char *extra, char **text);
int smp_setup_tty(char *tty, char **text);
int smp_logout_tty(char *tty, char *extra, char **text);
int smp_get_messages(smp_attempt *attempt, char **success, char **failure);
int smp_audit_logoff(char *tty, char *user, char **text);
int smp_user_is_individual(smp_attempt *attempt);
int smp_set_identity(smp_attempt *attempt, char **text, char ***environment, char **shell);
int smp_login_environment(smp_attempt *attempt, char ***environment, char **shell);
int smp_record_login(smp_attempt *attempt, char **text);

}  // namespace vant::login
