// The exported C functions of the authorizations module.
#include "authorizations/authorizations.h"

extern "C" {

int total_auths(void) {
    return vant::authorizations::total_auths();
}

int widest_auth(void) {
    return vant::authorizations::widest_auth();
}

int primary_auth(const char *name) {
    return vant::authorizations::primary_auth(name);
}

int secondary_auth(const char *name) {
    return vant::authorizations::secondary_auth(name);
}

const char *primary_of_secondary_auth(const char *name) {
    return vant::authorizations::primary_of_secondary_auth(name);
}

int build_cmd_priv(void) {
    return vant::authorizations::build_cmd_priv();
}

int user_has_auth(const char *user, const char *subsystem, const char *authorization) {
    return vant::authorizations::user_has_auth(user, subsystem, authorization);
}

int privileged_user(const char *subsystem) {
    return vant::authorizations::privileged_user(subsystem);
}

int authorized_user(const char *authorization) {
    return vant::authorizations::authorized_user(authorization);
}

int write_authorizations(const char *user, char *const *names, int count) {
    return vant::authorizations::write_authorizations(user, names, count);
}

int write_authorization_bits(const char *user, const vant_mask_t *vector) {
    return vant::authorizations::write_authorization_bits(user, vector);
}

char **build_kern_vec(const priv_t *vector) {
    return vant::authorizations::build_kern_vec(vector);
}

struct subsys_vec_entry *build_subsys_vec(const vant_mask_t *vector) {
    return vant::authorizations::build_subsys_vec(vector);
}

void add_secondary_auths(vant_mask_t *vector) {
    vant::authorizations::add_secondary_auths(vector);
}

vant_mask_t *get_subsys_auths(void) {
    return vant::authorizations::get_subsys_auths();
}

}  // extern "C"
