// The authdb module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::authdb {

int make_transition_files(const char *path, char **new_name, char **old_name);
void asetdefaults(int which);
char *find_auth_file(const char *name, int object);
void open_auth_file(const char *name, int object, FILE **result);
void end_authcap(int object);
int agetent(char **buf, int *len, const char *name, int object, long *pos, FILE *fp);
int agetuser(const char *name);
int agettty(long *pos, FILE *fp, const char *name);
char *agetfile(long *pos, FILE *fp, const char *name);
char *agetdvag(long *pos, FILE *fp, const char *name);
int agetdefault(void);
char *agetdefault_buf(void);
int agetflag(const char *id);
char *agetstr(const char *id, char **area);
int agtnum(const char *id, long *value);
int agetuid(const char *id);
int agetgid(const char *id);
char **agetstrlist(char *text);
void loadnamepair(unsigned int *mask, int highest, char *text, const struct namepair *table,
                  const char *description);
char *storenamepair(const unsigned int *mask, int highest, const struct namepair *table,
                    const char *description);
const char *storebool(int value);
int pr_newline(FILE *fp, int count, int *error);
int create_file_securely(const char *path, int how, const char *purpose);
int replace_file(char *new_name, const char *path, char *old_name);
const char *cfs_to_string(int code);
const char *cfs_to_english_string(int code);
int setuid_least_privilege(void);
int locked_out(struct pr_passwd *pr);

}  // namespace vant::authdb
