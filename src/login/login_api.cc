// The exported C functions of the login services.
#include "login/login.h"

extern "C" {

int smp_check_user(int request, char *user, char *tty, uid_t subject_uid, smp_attempt **attempt,
                   int *retries, char **text, int *nis, int *delay) {
    return vant::login::smp_check_user(request, user, tty, subject_uid, attempt, retries, text, nis,
                                       delay);
}

}  // extern "C"
