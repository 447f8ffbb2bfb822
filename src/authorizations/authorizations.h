// The authorizations module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::authorizations {

int total_auths(void);
int widest_auth(void);
int primary_auth(const char *name);
int secondary_auth(const char *name);
const char *primary_of_secondary_auth(const char *name);
int build_cmd_priv(void);
int user_has_auth(const char *user, const char *subsystem, const char *authorization);
int privileged_user(const char *subsystem);
int authorized_user(const char *authorization);
int write_authorizations(const char *user, char *const *names, int count);
int write_authorization_bits(const char *user, const vant_mask_t *vector);
char **build_kern_vec(const priv_t *vector);
struct subsys_vec_entry *build_subsys_vec(const vant_mask_t *vector);
void add_secondary_auths(vant_mask_t *vector);
vant_mask_t *get_subsys_auths(void);

}  // namespace vant::authorizations
