/* A password change, from the account check to the stored password. */
#ifndef VANT_PASSWD_PASSWORD_CHANGE_H
#define VANT_PASSWD_PASSWORD_CHANGE_H

/* Changes user's password for the invoking user. The exit status. */
int change_password(const char *user);

#endif
