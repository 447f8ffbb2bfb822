// The exported C functions of the login services.
#include "login/login.h"
#include "login/supplementary_groups.h"

extern "C" {

int smp_check_user(int request, char *user, char *tty, uid_t subject_uid, smp_attempt **attempt,
                   int *retries, char **text, int *nis, int *delay) {
    return vant::login::smp_check_user(request, user, tty, subject_uid, attempt, retries, text, nis,
                                       delay);
}

void smp_free_attempt(smp_attempt *attempt) {
    vant::login::smp_free_attempt(attempt);
}

int smp_check_pw(char *password, smp_attempt *attempt, char **text) {
    return vant::login::smp_check_pw(password, attempt, text);
}

int smp_check_account(smp_attempt *attempt, char **text) {
    return vant::login::smp_check_account(attempt, text);
}

void smp_audit_fail(smp_attempt *attempt, int always) {
    vant::login::smp_audit_fail(attempt, always);
}

int smp_pw_change(smp_attempt *attempt, char **text) {
    return vant::login::smp_pw_change(attempt, text);
}

int smp_pw_choice(smp_attempt *attempt, char **text) {
    return vant::login::smp_pw_choice(attempt, text);
}

int smp_generate_pw(char *password, char **divided, smp_attempt *attempt) {
    return vant::login::smp_generate_pw(password, divided, attempt);
}

int smp_try_pw(char *password, smp_attempt *attempt, int *retries, char **text) {
    return vant::login::smp_try_pw(password, attempt, retries, text);
}

int goodpw_set_other_checks(int kind) {
    return vant::login::goodpw_set_other_checks(kind);
}

int goodpw_check_other(char *password, char *current_crypt, char **text) {
    return vant::login::goodpw_check_other(password, current_crypt, text);
}

int smp_set_pw(char *password, char *again, smp_attempt *attempt, int *retries, char **text) {
    return vant::login::smp_set_pw(password, again, attempt, retries, text);
}

int smp_setup_tty(char *tty, char **text) {
    return vant::login::smp_setup_tty(tty, text);
}

int smp_logout_tty(char *tty, char *extra, char **text) {
    return vant::login::smp_logout_tty(tty, extra, text);
}

int smp_get_messages(smp_attempt *attempt, char **success, char **failure) {
    return vant::login::smp_get_messages(attempt, success, failure);
}

int smp_audit_logoff(char *tty, char *user, char **text) {
    return vant::login::smp_audit_logoff(tty, user, text);
}

int smp_user_is_individual(smp_attempt *attempt) {
    return vant::login::smp_user_is_individual(attempt);
}

int smp_set_identity(smp_attempt *attempt, char **text, char ***environment, char **shell) {
    return vant::login::smp_set_identity(attempt, text, environment, shell);
}

int smp_login_environment(smp_attempt *attempt, char ***environment, char **shell) {
    return vant::login::smp_login_environment(attempt, environment, shell);
}

int smp_record_login(smp_attempt *attempt, char **text) {
    return vant::login::smp_record_login(attempt, text);
}

int setbasesg(char *user, FILE *msgfp) {
    return vant::login::setbasesg(user, msgfp);
}

}  // extern "C"
