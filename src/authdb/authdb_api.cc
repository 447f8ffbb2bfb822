// The exported C functions of the authdb module.
#include "authdb/authdb.h"

extern "C" {

int make_transition_files(const char *path, char **new_name, char **old_name) {
    *new_name = *old_name = nullptr;
    auto names = vant::authdb::make_transition_files(path);
    if (!names) return 0;
    *new_name = names->new_name.release();
    *old_name = names->old_name.release();
    return 1;
}

void asetdefaults(int which) {
    vant::authdb::asetdefaults(which);
}

char *find_auth_file(const char *name, int object) {
    return vant::authdb::find_auth_file(name, object).release();
}

void open_auth_file(const char *name, int object, FILE **result) {
    vant::authdb::open_auth_file(name, object, result);
}

void end_authcap(int object) {
    vant::authdb::end_authcap(object);
}

int agetent(char **buf, int *len, const char *name, int object, long *pos, FILE *fp) {
    return vant::authdb::agetent(buf, len, name, object, pos, fp);
}

int agetuser(const char *name) {
    return vant::authdb::agetuser(name);
}

int agettty(long *pos, FILE *fp, const char *name) {
    return vant::authdb::agettty(pos, fp, name);
}

char *agetfile(long *pos, FILE *fp, const char *name) {
    return vant::authdb::agetfile(pos, fp, name);
}

char *agetdvag(long *pos, FILE *fp, const char *name) {
    return vant::authdb::agetdvag(pos, fp, name);
}

int agetdefault(void) {
    return vant::authdb::agetdefault();
}

char *agetdefault_buf(void) {
    return vant::authdb::agetdefault_buf();
}

int agetflag(const char *id) {
    return vant::authdb::agetflag(id);
}

char *agetstr(const char *id, char **area) {
    return vant::authdb::agetstr(id, area);
}

int agtnum(const char *id, long *value) {
    return vant::authdb::agtnum(id, value);
}

int agetuid(const char *id) {
    return vant::authdb::agetuid(id);
}

int agetgid(const char *id) {
    return vant::authdb::agetgid(id);
}

char **agetstrlist(char *text) {
    return vant::authdb::agetstrlist(text);
}

void loadnamepair(unsigned int *mask, int highest, char *text, const struct namepair *table,
                  const char *description) {
    return vant::authdb::loadnamepair(mask, highest, text, table, description);
}

char *storenamepair(const unsigned int *mask, int highest, const struct namepair *table,
                    const char *description) {
    return vant::authdb::storenamepair(mask, highest, table, description);
}

const char *storebool(int value) {
    return vant::authdb::storebool(value);
}

int pr_newline(FILE *fp, int count, int *error) {
    return vant::authdb::pr_newline(fp, count, error);
}

int create_file_securely(const char *path, int how, const char *purpose) {
    return vant::authdb::create_file_securely(path, how, purpose);
}

int replace_file(char *new_name, const char *path, char *old_name) {
    using vant::authdb::OwnedText;
    return vant::authdb::replace_file(OwnedText(new_name), path, OwnedText(old_name)) ? 1 : 0;
}

const char *cfs_to_string(int code) {
    return vant::authdb::cfs_to_string(code);
}

const char *cfs_to_english_string(int code) {
    return vant::authdb::cfs_to_english_string(code);
}

int setuid_least_privilege(void) {
    return vant::authdb::setuid_least_privilege();
}

int locked_out(struct pr_passwd *pr) {
    return vant::authdb::locked_out(pr);
}

}  // extern "C"
