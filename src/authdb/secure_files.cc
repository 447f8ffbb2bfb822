// Secure creation of a transition file: made exclusively, with no
// permissions, then given the owner, group and mode that the File Control
// database prescribes for it.
#include <sys/stat.h>

#include "authdb/authdb.h"
#include "authdb/writer_watch.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "frame/quiet_zone.h"
#include "platform/descriptor.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::authdb {
namespace {

struct Prescription {
    uid_t owner;
    gid_t group;
    mode_t mode;
};

// Read before the file is made: the File Control database's own
// transition file is among those created, and its reader would wait for it.
bool prescription_for(const char *path, Prescription &p) {
    struct pr_file *entry = databases::getprfinam(path);
    if (entry == nullptr) return false;
    const struct f_field &f = entry->ufld;
    p.owner = PR_F_ISSET(entry->uflg, PR_F_OWNER) ? f.f_owner : frame::starting_ruid();
    p.group = PR_F_ISSET(entry->uflg, PR_F_GROUP) ? f.f_group : frame::starting_rgid();
    p.mode = PR_F_ISSET(entry->uflg, PR_F_MODE) ? f.f_mode : 0;
    return true;
}

int report_failure(const char *path, int code) {
    frame::intl_audit_no_resource(path, path, 1, authdb::cfs_to_english_string(code),
                                  authdb::cfs_to_string(code));
    return code;
}

// Mode and owner are set through the descriptor, on the very file made.
int create_securely(const char *path, int how) {
    bool wait = how == 2;
    if (wait && !outwait_writer(path)) return report_failure(path, CFS_CAN_NOT_OPEN_FILE);
    Prescription p;
    if (!prescription_for(path, p)) {
        frame::audit_auth_entry(path, VANT_OBJ_FILES,
                                "could not obtain entry of file to create securely");
        return CFS_NO_FILE_CONTROL_ENTRY;
    }
    platform::Descriptor fd(create_outwaiting(path, wait));
    if (!fd.is_open()) return report_failure(path, CFS_CAN_NOT_OPEN_FILE);
    int result = CFS_GOOD_RETURN;
    if (fchmod(fd.get(), p.mode) != 0)
        result = CFS_CAN_NOT_CHG_MODE;
    else if (fchown(fd.get(), p.owner, p.group) != 0)
        result = CFS_CAN_NOT_CHG_OWNER_GROUP;
    fd.reset();
    if (result == CFS_GOOD_RETURN) return result;
    platform::unlink_file(path);
    return report_failure(path, result);
}

}  // namespace
}  // namespace vant::authdb

namespace vant::authdb {

int create_file_securely(const char *path, int how, const char * /*purpose*/) {
    if (how != 0) return vant::authdb::create_securely(path, how);
    vant::frame::QuietZone quiet;
    return vant::authdb::create_securely(path, how);
}

}  // namespace vant::authdb
