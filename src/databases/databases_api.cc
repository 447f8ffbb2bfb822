// The exported C functions of the databases module.
#include "databases/databases.h"

extern "C" {

int setprdfent(void) {
    return vant::databases::setprdfent();
}

void endprdfent(void) {
    vant::databases::endprdfent();
}

struct pr_default *getprdfent(void) {
    return vant::databases::getprdfent();
}

struct pr_default *getprdfnam(const char *name) {
    return vant::databases::getprdfnam(name);
}

int putprdfnam(const char *name, struct pr_default *record) {
    return vant::databases::putprdfnam(name, record);
}

void disable_etc_default(void) {
    vant::databases::disable_etc_default();
}

void enable_etc_default(void) {
    vant::databases::enable_etc_default();
}

int integreq(void) {
    return vant::databases::integreq();
}

int setprfient(void) {
    return vant::databases::setprfient();
}

void endprfient(void) {
    vant::databases::endprfient();
}

struct pr_file *getprfient(void) {
    return vant::databases::getprfient();
}

struct pr_file *getprfinam(const char *path) {
    return vant::databases::getprfinam(path);
}

int putprfinam(const char *name, struct pr_file *record) {
    return vant::databases::putprfinam(name, record);
}

int read_pw_fields(struct pr_field *fields, struct pr_flag *flags) {
    return vant::databases::read_pw_fields(fields, flags);
}

int store_pw_fields(FILE *fp, const char *name, struct pr_field *fields, struct pr_flag *flags) {
    return vant::databases::store_pw_fields(fp, name, fields, flags);
}

void read_tc_fields(struct t_field *fields, struct t_flag *flags) {
    vant::databases::read_tc_fields(fields, flags);
}

int store_tc_fields(FILE *stream, const char *name, struct t_field *fields, struct t_flag *flags) {
    return vant::databases::store_tc_fields(stream, name, fields, flags);
}

int setprtcent(void) {
    return vant::databases::setprtcent();
}

void endprtcent(void) {
    vant::databases::endprtcent();
}

struct pr_term *getprtcent(void) {
    return vant::databases::getprtcent();
}

struct pr_term *getprtcnam(const char *name) {
    return vant::databases::getprtcnam(name);
}

int putprtcnam(const char *name, struct pr_term *record) {
    return vant::databases::putprtcnam(name, record);
}

int setdvagent(void) {
    return vant::databases::setdvagent();
}

void enddvagent(void) {
    vant::databases::enddvagent();
}

struct dev_asg *getdvagent(void) {
    return vant::databases::getdvagent();
}

struct dev_asg *getdvagnam(const char *name) {
    return vant::databases::getdvagnam(name);
}

int putdvagnam(const char *name, struct dev_asg *record) {
    return vant::databases::putdvagnam(name, record);
}

struct dev_asg *copydvagent(const struct dev_asg *record) {
    return vant::databases::copydvagent(record);
}

int setprpwent(void) {
    return vant::databases::setprpwent();
}

void endprpwent(void) {
    vant::databases::endprpwent();
}

struct pr_passwd *getprpwent(void) {
    return vant::databases::getprpwent();
}

struct pr_passwd *getprpwnam(const char *name) {
    return vant::databases::getprpwnam(name);
}

struct pr_passwd *getprpwuid(int uid) {
    return vant::databases::getprpwuid(uid);
}

int putprpwnam(const char *name, struct pr_passwd *record) {
    return vant::databases::putprpwnam(name, record);
}

int checkprpwnam(const char *name, struct pr_flag *differing) {
    return vant::databases::checkprpwnam(name, differing);
}

}  // extern "C"
