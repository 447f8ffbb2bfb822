// Internal side of the user and group id maps: the cached tables, their
// map files, and the pieces the tests reach.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <string_view>

#include "frame/cache_file.h"

namespace vant::frame {

inline constexpr uint32_t kMaxId = 65535;
// Source lines are taken in pieces of this many characters; the rest of a
// longer line is skipped.
inline constexpr size_t kLinePiece = 1023;
inline constexpr size_t kHeaderBytes = 8;  // N and S
inline constexpr size_t kStampBytes = 4;

// A table: S bytes of entries (a 32-bit id, then the NUL-terminated name),
// then N offsets in name order, then N offsets in id order. These are the
// very bytes between a map file's header and its stamp, so a table is loaded
// and written without conversion.
struct IdTable {
    char *block = nullptr;  // malloc'd, at least one byte
    uint32_t count = 0;     // N
    uint32_t bytes = 0;     // S
};

inline size_t body_size(uint32_t count, uint32_t bytes) {
    return size_t{bytes} + 8 * size_t{count};
}

uint32_t entry_id(const IdTable &t, uint32_t offset);
const char *entry_name(const IdTable &t, uint32_t offset);
uint32_t by_name_offset(const IdTable &t, uint32_t i);
uint32_t by_id_offset(const IdTable &t, uint32_t i);

// The id of the first entry with that name, or -1.
int find_by_name(const IdTable &t, const char *name);
// The name of the entry with that id, or null.
char *find_by_id(const IdTable &t, int id);

// Splits one source line (already cut to kLinePiece characters) into its
// name and id; false for lines that are left out.
bool parse_line(std::string_view line, std::string_view &name, uint32_t &id);
// Builds a table from the whole text of a source file; -1 when memory runs out.
int build_table(std::string_view text, IdTable &out);
// Whether a table read from a map file can be searched safely: entries
// well formed, every offset at an entry, both indexes in order.
bool table_is_sound(const IdTable &t);
void free_table(IdTable &t);

// One map: its source, its map file, and the table in memory.
struct IdMap {
    const char *source;
    const char *map_path;
    int nis_kind;
    const char *nis_by_name;
    const char *nis_by_id;
    // The map file belongs to "auth": this map names one of its ids, the
    // other map the other id.
    uint32_t own_auth_fallback;
    uint32_t other_auth_fallback;
    int (*other_auth_lookup)(const char *name);
    bool own_id_is_owner;  // true for users: the user id, false for groups

    IdTable table{};
    // The source's status-change time when the table was built or loaded;
    // zero when there is no table. Kept to the nanosecond so that a change
    // within the same second is still seen by this process.
    struct timespec stamp {};
    // Set while the finished map is given its owner: that looks up "auth"
    // in the other map, whose rebuild looks up "auth" here again.
    bool building = false;
    char nis_name[kLinePiece + 1]{};  // the last name NIS gave
};

IdMap &user_map();
IdMap &group_map();

// Makes sure the map's table is current: 0, or -1 when it cannot be had.
int check_file(IdMap &m);
// Rebuilds the table from the source and rewrites the map file.
int make_file(IdMap &m);

// Loads the map file into m when it is complete and was built from the
// source as `source` describes it: 0, or -1 (m is then unchanged).
int read_file(IdMap &m, const struct stat &source);

// The map file, open and write-locked, while it is rewritten.
class MapWriter {
  public:
    explicit MapWriter(const char *path);

    // False when the file cannot be had (the table is then kept in memory
    // only).
    bool is_open() const { return file_.is_open(); }
    // Writes the whole file; on failure removes it and returns -1.
    int write(const IdTable &t, uint32_t stamp);
    // Gives the finished file its mode and owner, unlocks and closes it.
    void finish(uid_t owner, gid_t group);

  private:
    CacheWriter file_;
};

}  // namespace vant::frame
