// Swapping a complete new version of a database into place.
#include <errno.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "frame/frame.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::authdb {
namespace {

// The new version must be on disk before its name can be: otherwise a
// crash just after the rename could leave an empty or partial database.
bool swap(const char *new_name, const char *path, const char *old_name) {
    platform::unlink_file(old_name);
    if (platform::sync_file(new_name) != 0) {
        platform::unlink_file(new_name);
        return false;
    }
    update_step(UpdateStep::new_version_synced);
    bool linked = platform::link_file(path, old_name) == 0;
    if (!linked && errno != ENOENT) {
        platform::unlink_file(new_name);
        return false;
    }
    if (linked) update_step(UpdateStep::old_version_linked);
    if (platform::rename_file(new_name, path) != 0) {
        if (linked) platform::link_file(old_name, path);
        platform::unlink_file(new_name);
        return false;
    }
    update_step(UpdateStep::renamed);
    platform::unlink_file(old_name);
    update_step(UpdateStep::old_link_removed);
    return true;
}

}  // namespace
}  // namespace vant::authdb

namespace vant::authdb {

bool replace_file(OwnedText new_name, const char *path, OwnedText old_name) {
    frame::check_auth_parameters();
    bool replaced = vant::authdb::swap(new_name.get(), path, old_name.get());
    // A directory's fsync makes the rename itself survive a crash.
    vant::platform::sync_directory_of(path);
    vant::authdb::update_step(vant::authdb::UpdateStep::directory_synced);
    return replaced;
}

}  // namespace vant::authdb
