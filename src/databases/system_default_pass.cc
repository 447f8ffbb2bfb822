// Starting and ending a pass over the System Default database, and the
// record that every read of it fills.
#include <stdlib.h>

#include "authdb/authdb.h"
#include "authdb/default_stream.h"
#include "databases/databases.h"
#include "databases/system_default.h"
#include "frame/frame.h"
#include "vant.h"

extern "C" {

struct pr_default *pr_default = nullptr;

}  // extern "C"

namespace vant::databases {

int allocate_default_record() {
    if (pr_default != nullptr) return 0;
    pr_default = static_cast<struct pr_default *>(calloc(1, sizeof(struct pr_default)));
    if (pr_default != nullptr) return 0;
    frame::audit_no_memory();
    databases::endprdfent();
    return -1;
}

int reset_default(const char *path) {
    authdb::restart_default_at(path);
    return allocate_default_record();
}

int setprdfent(void) {
    authdb::rewind_default();
    return allocate_default_record();
}

void endprdfent(void) {
    frame::check_auth_parameters();
    authdb::close_default();
}

}  // namespace vant::databases
