// Lock files of the conventional files: an empty file with no permissions
// beside the locked file, created exclusively; its existence is the lock.
#include <unistd.h>

#include "authdb/authdb.h"
#include "authdb/writer_watch.h"
#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"
#include "vant.h"

namespace vant::mirror {

// A holder that keeps its lock is waited for while the lock file's time
// changes; one that stops changing it is taken for dead.
int create_file_exclusively(const char *path) {
    if (path == nullptr) return -1;
    int fd = authdb::create_outwaiting(path, true);
    if (fd >= 0) {
        close(fd);
        return 0;
    }
    frame::intl_audit_no_resource(path, path, VANT_OBJ_FILE,
                                  authdb::cfs_to_english_string(CFS_CAN_NOT_OPEN_FILE),
                                  authdb::cfs_to_string(CFS_CAN_NOT_OPEN_FILE));
    return -1;
}

bool create_lock_file(const char *path, authdb::TransitionFile &lock) {
    if (!lock.name(path) || create_file_exclusively(lock.new_name()) != 0) return false;
    lock.hold();
    return true;
}

}  // namespace vant::mirror
