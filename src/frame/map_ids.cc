// User and group id maps: names to ids and back, from tables kept current
// with /etc/passwd and /etc/group and shared between processes through map
// files, with the host's NIS service behind them.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <utility>

#include "frame/frame.h"
#include "frame/map_ids.h"
#include "platform/nis.h"
#include "platform/root.h"
#include "platform/transfer.h"
#include "vant.h"

namespace vant::frame {
namespace {

constexpr uint32_t kAuthUid = 7;
constexpr uint32_t kAuthGid = 21;

struct MapState {
    IdMap users{.source = "/etc/passwd",
                .map_path = "/etc/auth/system/pw_id_map",
                .nis_kind = platform::kNisUsers,
                .nis_by_name = "passwd.byname",
                .nis_by_id = "passwd.byuid",
                .own_auth_fallback = kAuthUid,
                .other_auth_fallback = kAuthGid,
                .other_auth_lookup = frame::gr_nametoid,
                .own_id_is_owner = true};
    IdMap groups{.source = "/etc/group",
                 .map_path = "/etc/auth/system/gr_id_map",
                 .nis_kind = platform::kNisGroups,
                 .nis_by_name = "group.byname",
                 .nis_by_id = "group.bygid",
                 .own_auth_fallback = kAuthGid,
                 .other_auth_fallback = kAuthUid,
                 .other_auth_lookup = frame::pw_nametoid,
                 .own_id_is_owner = false};
};
constinit MapState state;

// The whole text of a source file, held in memory so that both passes over
// it see the same lines whatever happens to the file in between.
struct SourceText {
    char *data = nullptr;
    size_t size = 0;
    SourceText() = default;
    SourceText(const SourceText &) = delete;
    SourceText &operator=(const SourceText &) = delete;
    ~SourceText() { free(data); }
};

int read_all(int fd, off_t size_hint, SourceText &text) {
    size_t capacity = size_hint > 0 ? static_cast<size_t>(size_hint) + 1 : 4096;
    if ((text.data = static_cast<char *>(malloc(capacity))) == nullptr) return -1;
    for (;;) {
        if (text.size == capacity) {
            char *bigger = static_cast<char *>(realloc(text.data, capacity * 2));
            if (bigger == nullptr) return -1;
            text.data = bigger;
            capacity *= 2;
        }
        ssize_t n = platform::read_full(fd, text.data + text.size, capacity - text.size);
        if (n < 0) return -1;
        text.size += static_cast<size_t>(n);
        if (text.size < capacity) return 0;
    }
}

int read_source(const char *path, SourceText &text, struct stat &st) {
    int fd = platform::open_file(path, O_RDONLY);
    if (fd < 0) return -1;
    int result = fstat(fd, &st) == 0 ? read_all(fd, st.st_size, text) : -1;
    close(fd);
    return result;
}

bool same_time(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void install(IdMap &m, const IdTable &t, const struct timespec &stamp) {
    free_table(m.table);
    m.table = t;
    m.stamp = stamp;
}

void discard(IdMap &m) {
    free_table(m.table);
    m.stamp = {};
}

// The map file belongs to "auth", user and group. Asking the other map may
// rebuild it, and that rebuild asks this map in turn.
std::pair<uid_t, gid_t> map_owner(IdMap &m) {
    int own = find_by_name(m.table, "auth");
    m.building = true;
    int other = m.other_auth_lookup("auth");
    m.building = false;
    uint32_t own_id = own >= 0 ? static_cast<uint32_t>(own) : m.own_auth_fallback;
    uint32_t other_id = other >= 0 ? static_cast<uint32_t>(other) : m.other_auth_fallback;
    if (m.own_id_is_owner) return {own_id, other_id};
    return {other_id, own_id};
}

int nis_name_to_id(const IdMap &m, const char *name) {
    if (!platform::nis_enabled(m.nis_kind)) return -1;
    const char *line = platform::nis_lookup(name, m.nis_by_name);
    std::string_view answer_name;
    uint32_t id;
    if (line == nullptr || !parse_line(line, answer_name, id)) return -1;
    return static_cast<int>(id);
}

// The answer belongs to the host; its name is copied out.
char *nis_id_to_name(IdMap &m, int id) {
    if (!platform::nis_enabled(m.nis_kind)) return nullptr;
    char key[16];
    snprintf(key, sizeof key, "%d", id);
    const char *line = platform::nis_lookup(key, m.nis_by_id);
    const char *colon = line != nullptr ? strchr(line, ':') : nullptr;
    if (colon == nullptr || static_cast<size_t>(colon - line) >= sizeof m.nis_name) return nullptr;
    memcpy(m.nis_name, line, static_cast<size_t>(colon - line));
    m.nis_name[colon - line] = '\0';
    return m.nis_name;
}

int name_to_id(IdMap &m, const char *name) {
    if (name == nullptr || check_file(m) != 0) return -1;
    int id = find_by_name(m.table, name);
    return id >= 0 ? id : nis_name_to_id(m, name);
}

char *id_to_name(IdMap &m, int id) {
    if (id < 0 || check_file(m) != 0) return nullptr;
    char *name = find_by_id(m.table, id);
    return name != nullptr ? name : nis_id_to_name(m, id);
}

}  // namespace

IdMap &user_map() {
    return state.users;
}
IdMap &group_map() {
    return state.groups;
}

int check_file(IdMap &m) {
    if (m.building) return 0;
    struct stat st;
    if (platform::stat_file(m.source, &st) != 0) return -1;
    if (m.table.block != nullptr && same_time(st.st_ctim, m.stamp)) return 0;
    if (read_file(m, st) == 0) return 0;
    return make_file(m);
}

// The table is built from the source before the map file is touched, so
// the file is locked only while it is written, and it always holds exactly
// the table this process uses.
int make_file(IdMap &m) {
    SourceText text;
    struct stat st;
    if (read_source(m.source, text, st) != 0) return -1;
    IdTable t;
    if (build_table({text.data, text.size}, t) != 0) {
        discard(m);
        return -1;
    }
    MapWriter file(m.map_path);
    if (file.is_open() && file.write(t, static_cast<uint32_t>(st.st_ctime)) != 0) {
        free_table(t);
        discard(m);
        return -1;
    }
    install(m, t, st.st_ctim);
    if (file.is_open()) {
        auto [owner, group] = map_owner(m);
        file.finish(owner, group);
    }
    return 0;
}

}  // namespace vant::frame

using vant::frame::state;

extern "C" {}

namespace vant::frame {

int pw_nametoid(const char *name) {
    return vant::frame::name_to_id(state.users, name);
}

char *pw_idtoname(int id) {
    return vant::frame::id_to_name(state.users, id);
}

int gr_nametoid(const char *name) {
    return vant::frame::name_to_id(state.groups, name);
}

char *gr_idtoname(int id) {
    return vant::frame::id_to_name(state.groups, id);
}

}  // namespace vant::frame
