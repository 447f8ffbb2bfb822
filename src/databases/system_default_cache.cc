// Looking up a System Default entry by name. The "default" entry is read
// by nearly every program, so its last lookup is kept and handed out again
// while neither the database nor the /etc/default files changed since.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "databases/system_default.h"
#include "mirror/etc_default_files.h"
#include "mirror/mirror.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::databases {
namespace {

struct DefaultCache {
    char *path;      // the database, computed once and kept for good
    bool opened;     // the first full lookup opened the database
    time_t time;     // when "default" was last looked up in full; -1: never
    int ignore_etc;  // the settings of that lookup
    int override_mode;
    struct pr_default merged;
    struct pr_default unmerged;  // as looked up while the /etc files were ignored
    bool unmerged_valid;
    struct pr_default result;  // what the cache hands out
};
constinit DefaultCache cache{nullptr, false, -1, 0, 0, {}, {}, false, {}};

time_t modified(const char *path) {
    struct stat st;
    return platform::stat_file(path, &st) == 0 ? st.st_mtime : -1;
}

// Seconds are all the cache knows of time, so a file changed within the
// second of the lookup makes the next one read again.
struct pr_default *from_cache() {
    bool same_settings =
        mirror::get_override_mode() == cache.override_mode && ignore_etc() == cache.ignore_etc;
    if (!same_settings && !(ignore_etc() != 0 && cache.unmerged_valid)) return nullptr;
    time_t database = modified(cache.path);
    if (cache.time < database) cache.unmerged_valid = false;
    time_t latest = database;
    for (const mirror::DfltFile &f : mirror::kDfltFiles)
        latest = std::max(latest, modified(f.path));
    if (latest >= cache.time) return nullptr;
    cache.result = ignore_etc() != 0 && cache.unmerged_valid ? cache.unmerged : cache.merged;
    return &cache.result;
}

void remember(const struct pr_default *entry) {
    cache.time = vant::platform::now();
    cache.ignore_etc = ignore_etc();
    cache.override_mode = mirror::get_override_mode();
    cache.merged = *entry;
    if (cache.ignore_etc != 0) {
        cache.unmerged = *entry;
        cache.unmerged_valid = true;
    }
}

// A full lookup starts from the first entry of a freshly opened stream.
// An entry refused by the mirroring rules hides none of those after it.
struct pr_default *look_up(const char *name) {
    if (!cache.opened) {
        databases::setprdfent();
        cache.opened = true;
    } else {
        reset_default(cache.path);
    }
    for (;;) {
        struct pr_default *entry = databases::getprdfent();
        if (entry != nullptr && names_entry(entry, name)) return entry;
        if (entry == nullptr && last_read_end() != ReadEnd::entry) return nullptr;
    }
}

}  // namespace
}  // namespace vant::databases

namespace vant::databases {

struct pr_default *getprdfnam(const char *name) {
    if (name == nullptr) return nullptr;
    if (cache.path == nullptr &&
        (cache.path = authdb::find_auth_file(nullptr, VANT_OBJ_DEFAULT).release()) == nullptr)
        return nullptr;
    bool is_default = strcmp(name, kDefaultEntry) == 0;
    if (is_default && cache.time != -1)
        if (struct pr_default *cached = from_cache(); cached != nullptr) return cached;
    struct pr_default *entry = look_up(name);
    if (entry != nullptr && names_entry(entry, kDefaultEntry)) remember(entry);
    return entry;
}

}  // namespace vant::databases
