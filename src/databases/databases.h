// The databases module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::databases {

int setprdfent(void);
void endprdfent(void);
struct pr_default *getprdfent(void);
struct pr_default *getprdfnam(const char *name);
int putprdfnam(const char *name, struct pr_default *record);
void disable_etc_default(void);
void enable_etc_default(void);
int integreq(void);
int setprfient(void);
void endprfient(void);
struct pr_file *getprfient(void);
struct pr_file *getprfinam(const char *path);
int putprfinam(const char *name, struct pr_file *record);
int read_pw_fields(struct pr_field *fields, struct pr_flag *flags);
int store_pw_fields(FILE *fp, const char *name, struct pr_field *fields, struct pr_flag *flags);
void read_tc_fields(struct t_field *fields, struct t_flag *flags);
// Only the current entry's t_devname, which says whose entry it is; false
// when the entry has none.
bool read_tc_devname(struct t_field *fields);
int store_tc_fields(FILE *stream, const char *name, struct t_field *fields, struct t_flag *flags);
int setprtcent(void);
void endprtcent(void);
struct pr_term *getprtcent(void);
struct pr_term *getprtcnam(const char *name);
int putprtcnam(const char *name, struct pr_term *record);
int setdvagent(void);
void enddvagent(void);
struct dev_asg *getdvagent(void);
struct dev_asg *getdvagnam(const char *name);
int putdvagnam(const char *name, struct dev_asg *record);
struct dev_asg *copydvagent(const struct dev_asg *record);
int setprpwent(void);
void endprpwent(void);
struct pr_passwd *getprpwent(void);
struct pr_passwd *getprpwnam(const char *name);
struct pr_passwd *getprpwuid(int uid);
int putprpwnam(const char *name, struct pr_passwd *record);
int checkprpwnam(const char *name, struct pr_flag *differing);

}  // namespace vant::databases
