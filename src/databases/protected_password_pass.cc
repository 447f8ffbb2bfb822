// A run of Protected Password lookups: the records it fills and the
// conventional files it keeps open, so that lookups made in file order read
// each file once.
#include <stdlib.h>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "databases/protected_password.h"
#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"

namespace vant::databases {
namespace {

struct PrpwRun {
    struct pr_passwd *record;
    struct pr_passwd *etc_record;
    int last_uid_found;
};
constinit PrpwRun run{nullptr, nullptr, -1};

bool allocate(struct pr_passwd *&record) {
    if (record == nullptr)
        record = static_cast<struct pr_passwd *>(calloc(1, sizeof(struct pr_passwd)));
    return record != nullptr;
}

}  // namespace

struct pr_passwd *prpw_record() {
    return run.record;
}

struct pr_passwd *etc_prpw_record() {
    return run.etc_record;
}

int last_uid_found() {
    return run.last_uid_found;
}

void set_last_uid_found(int uid) {
    run.last_uid_found = uid;
}

}  // namespace vant::databases

using vant::databases::run;

namespace vant::databases {

int setprpwent(void) {
    frame::check_auth_parameters();
    run.last_uid_found = -1;
    if (vant::mirror::open_pw_files() < 0) {
        databases::endprpwent();
        return -1;
    }
    if (!vant::databases::allocate(run.record) || !vant::databases::allocate(run.etc_record)) {
        frame::audit_no_memory();
        databases::endprpwent();
        return -1;
    }
    return 0;
}

void endprpwent(void) {
    frame::check_auth_parameters();
    run.last_uid_found = -1;
    vant::mirror::close_pw_files();
    authdb::end_authcap(VANT_OBJ_PRPW);
}

}  // namespace vant::databases
