// The one way a database file is rewritten: the new version is written
// whole into the transition file "-t", created securely, and renamed into
// place through the "-o" link, all inside the quiet zone. A reader or a crash
// sees the old file or the new one, never a part of either.
#pragma once

#include <stdio.h>

#include <type_traits>

#include "authdb/authdb.h"
#include "vant.h"

namespace vant::authdb {

// A transition file ("-t") with its "-o" name, beside the file an update
// replaces. Once this process has created it, it is the update's lock, and
// it is removed again when its owner goes, unless the update commits it.
class TransitionFile {
  public:
    constexpr TransitionFile() = default;
    ~TransitionFile() { release(); }
    TransitionFile(const TransitionFile &) = delete;
    TransitionFile &operator=(const TransitionFile &) = delete;

    // Derives the two names for `path`, releasing any earlier file; false
    // (reported) when they cannot be made.
    bool name(const char *path);
    const char *new_name() const { return names_.new_name.get(); }
    const char *old_name() const { return names_.old_name.get(); }

    // The file at new_name() was just created by this process.
    void hold() { held_ = true; }
    bool held() const { return held_; }

    // Swaps the new version in for `path` (replace_file). Either way the
    // file is then no longer this owner's to remove.
    bool commit(const char *path);
    // Removes the file if this process holds it, and forgets the names;
    // false when a held file could not be removed.
    bool release();

  private:
    TransitionNames names_;
    bool held_ = false;
};

// Process-wide state holding transition files between the calls of an
// update. It is never destroyed at exit: the file layer may be gone by
// then, and a lock a process leaves behind is one that waiters give up on.
template <typename T>
union ProcessWide {
    constexpr ProcessWide() : value() {}
    ~ProcessWide() {}
    T value;
};

enum class UpdateResult {
    replaced,     // the new version is in place
    not_started,  // the transition file could not be made (already reported)
    failed,       // the database is unchanged
};

// Writes the new contents to `out`; false when it could not write them all.
struct ContentsWriter {
    bool (*write)(void *context, FILE *out);
    void *context;
};

UpdateResult update_database(const char *path, const char *purpose, ContentsWriter contents);

// `write` is any callable taking the new version's stream and returning
// whether it wrote everything. It must not rely on a record in the
// library's static storage: secure creation reads the File Control
// database, which reuses that storage.
template <typename Write>
UpdateResult update_database(const char *path, const char *purpose, Write &&write) {
    using W = std::remove_reference_t<Write>;
    ContentsWriter contents{
        [](void *context, FILE *out) -> bool { return (*static_cast<W *>(context))(out); },
        const_cast<void *>(static_cast<const void *>(&write))};
    return update_database(path, purpose, contents);
}

// The points of an update at which a test may stop the writer.
enum class UpdateStep {
    quiet_zone_entered,
    transition_created,  // "-t" exists, empty
    contents_written,    // the contents handed to the stream, not yet closed
    transition_closed,   // "-t" complete
    new_version_synced,  // "-t" on disk
    old_version_linked,  // "-o" names the old version
    renamed,             // the new version is in place
    old_link_removed,
    directory_synced,
};

// Tests only: called at every step of every update (null: nothing is).
using UpdateStepHook = void (*)(UpdateStep);
void set_update_step_hook(UpdateStepHook hook);
void update_step(UpdateStep step);

}  // namespace vant::authdb
