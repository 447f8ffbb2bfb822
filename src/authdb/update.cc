#include "authdb/update.h"

#include <fcntl.h>

#include <utility>

#include "authdb/authdb.h"
#include "frame/quiet_zone.h"
#include "platform/descriptor.h"
#include "platform/root.h"

namespace vant::authdb {
namespace {

struct UpdateState {
    UpdateStepHook hook = nullptr;
};
UpdateState state;

// The transition file was created securely just now; it is opened again
// only as the regular file it is, never through a link planted since.
FILE *open_for_writing(const char *new_name) {
    platform::Descriptor fd(platform::open_file(new_name, O_WRONLY | O_TRUNC | O_NOFOLLOW));
    if (!fd.is_open()) return nullptr;
    FILE *out = fdopen(fd.get(), "w");
    if (out != nullptr) fd.release();
    return out;
}

bool write_transition_file(const char *new_name, ContentsWriter contents) {
    FILE *out = open_for_writing(new_name);
    if (out == nullptr) return false;
    bool written = contents.write(contents.context, out);
    update_step(UpdateStep::contents_written);
    written = fflush(out) == 0 && !ferror(out) && written;
    bool closed = fclose(out) == 0;
    return written && closed;
}

}  // namespace

void set_update_step_hook(UpdateStepHook hook) {
    state.hook = hook;
}

void update_step(UpdateStep step) {
    if (state.hook != nullptr) state.hook(step);
}

bool TransitionFile::name(const char *path) {
    release();
    auto names = authdb::make_transition_files(path);
    if (names) names_ = std::move(*names);
    return names.has_value();
}

bool TransitionFile::commit(const char *path) {
    held_ = false;
    return authdb::replace_file(std::move(names_.new_name), path, std::move(names_.old_name));
}

bool TransitionFile::release() {
    bool removed = !held_ || platform::unlink_file(new_name()) == 0;
    held_ = false;
    names_ = {};
    return removed;
}

UpdateResult update_database(const char *path, const char *purpose, ContentsWriter contents) {
    frame::QuietZone quiet;
    update_step(UpdateStep::quiet_zone_entered);
    TransitionFile transition;
    if (!transition.name(path) ||
        authdb::create_file_securely(transition.new_name(), 2, purpose) != CFS_GOOD_RETURN)
        return UpdateResult::not_started;
    transition.hold();
    update_step(UpdateStep::transition_created);
    if (!write_transition_file(transition.new_name(), contents)) return UpdateResult::failed;
    update_step(UpdateStep::transition_closed);
    return transition.commit(path) ? UpdateResult::replaced : UpdateResult::failed;
}

}  // namespace vant::authdb
