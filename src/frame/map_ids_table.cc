// The id tables: parsing a source file into one exactly sized block,
// searching it, and checking a block read from a map file.
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "frame/map_ids.h"

namespace vant::frame {

uint32_t entry_id(const IdTable &t, uint32_t offset) {
    return get32(t.block + offset);
}
const char *entry_name(const IdTable &t, uint32_t offset) {
    return t.block + offset + 4;
}
uint32_t by_name_offset(const IdTable &t, uint32_t i) {
    return get32(t.block + t.bytes + 4 * size_t{i});
}
uint32_t by_id_offset(const IdTable &t, uint32_t i) {
    return get32(t.block + t.bytes + 4 * (size_t{t.count} + i));
}

int find_by_name(const IdTable &t, const char *name) {
    uint32_t lo = 0, hi = t.count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (strcmp(entry_name(t, by_name_offset(t, mid)), name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == t.count) return -1;
    uint32_t offset = by_name_offset(t, lo);
    return strcmp(entry_name(t, offset), name) == 0 ? static_cast<int>(entry_id(t, offset)) : -1;
}

char *find_by_id(const IdTable &t, int id) {
    uint32_t lo = 0, hi = t.count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        uint32_t offset = by_id_offset(t, mid);
        uint32_t here = entry_id(t, offset);
        if (here == static_cast<uint32_t>(id)) return t.block + offset + 4;
        if (here < static_cast<uint32_t>(id))
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

bool parse_line(std::string_view line, std::string_view &name, uint32_t &id) {
    // The line is text: whatever follows a NUL is not part of it.
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line[0] == '+' || line[0] == '-') return false;
    size_t first = line.find(':');
    size_t second = first == line.npos ? line.npos : line.find(':', first + 1);
    if (second == line.npos || second + 1 >= line.size()) return false;
    std::string_view digits = line.substr(second + 1);
    if (digits[0] < '0' || digits[0] > '9') return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > kMaxId) return false;
    }
    name = line.substr(0, first);
    id = value;
    return true;
}

namespace {

// Calls f(name, id) for each accepted line whose id has not occurred before.
template <typename F>
void each_entry(std::string_view text, F f) {
    uint64_t seen[(kMaxId + 1) / 64] = {};
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        std::string_view name;
        uint32_t id;
        if (!parse_line(line.substr(0, kLinePiece), name, id)) continue;
        uint64_t bit = uint64_t{1} << (id % 64);
        if (seen[id / 64] & bit) continue;
        seen[id / 64] |= bit;
        f(name, id);
    }
}

size_t entry_size(std::string_view name) {
    return 4 + name.size() + 1;
}

// Both indexes, from the offsets of the entries in source order. Equal names
// keep source order, so a name given twice is found under its first id.
void sort_indexes(IdTable &t, uint32_t *offsets) {
    char *by_name = t.block + t.bytes;
    char *by_id = by_name + 4 * size_t{t.count};
    std::sort(offsets, offsets + t.count,
              [&t](uint32_t a, uint32_t b) { return entry_id(t, a) < entry_id(t, b); });
    for (uint32_t i = 0; i < t.count; ++i)
        put32(by_id + 4 * size_t{i}, offsets[i]);
    std::sort(offsets, offsets + t.count, [&t](uint32_t a, uint32_t b) {
        int order = strcmp(entry_name(t, a), entry_name(t, b));
        return order < 0 || (order == 0 && a < b);
    });
    for (uint32_t i = 0; i < t.count; ++i)
        put32(by_name + 4 * size_t{i}, offsets[i]);
}

}  // namespace

int build_table(std::string_view text, IdTable &out) {
    IdTable t;
    each_entry(text, [&t](std::string_view name, uint32_t) {
        t.count += 1;
        t.bytes += static_cast<uint32_t>(entry_size(name));
    });
    t.block = static_cast<char *>(malloc(std::max<size_t>(body_size(t.count, t.bytes), 1)));
    auto *offsets = static_cast<uint32_t *>(malloc(std::max<size_t>(4 * size_t{t.count}, 1)));
    if (t.block == nullptr || offsets == nullptr) {
        free(offsets);
        free_table(t);
        return -1;
    }
    // Both passes read the same text, so the second fills the block exactly.
    uint32_t n = 0, at = 0;
    each_entry(text, [&](std::string_view name, uint32_t id) {
        put32(t.block + at, id);
        memcpy(t.block + at + 4, name.data(), name.size());
        t.block[at + 4 + name.size()] = '\0';
        offsets[n++] = at;
        at += static_cast<uint32_t>(entry_size(name));
    });
    sort_indexes(t, offsets);
    free(offsets);
    out = t;
    return 0;
}

namespace {

// Marks where each entry starts; false unless the entry area holds exactly
// N well-formed entries with ids in range.
bool mark_entries(const IdTable &t, uint64_t *starts) {
    uint32_t n = 0, at = 0;
    while (at < t.bytes) {
        if (t.bytes - at < 5 || entry_id(t, at) > kMaxId) return false;
        const void *nul = memchr(t.block + at + 4, '\0', t.bytes - at - 4);
        if (nul == nullptr) return false;
        starts[at / 64] |= uint64_t{1} << (at % 64);
        at = static_cast<uint32_t>(static_cast<const char *>(nul) - t.block) + 1;
        n += 1;
    }
    return n == t.count;
}

bool is_start(const IdTable &t, const uint64_t *starts, uint32_t offset) {
    return offset < t.bytes && (starts[offset / 64] >> (offset % 64) & 1) != 0;
}

bool indexes_are_sound(const IdTable &t, const uint64_t *starts) {
    for (uint32_t i = 0; i < t.count; ++i) {
        uint32_t name_at = by_name_offset(t, i), id_at = by_id_offset(t, i);
        if (!is_start(t, starts, name_at) || !is_start(t, starts, id_at)) return false;
        if (i == 0) continue;
        if (strcmp(entry_name(t, by_name_offset(t, i - 1)), entry_name(t, name_at)) > 0)
            return false;
        if (entry_id(t, by_id_offset(t, i - 1)) >= entry_id(t, id_at)) return false;
    }
    return true;
}

}  // namespace

bool table_is_sound(const IdTable &t) {
    auto *starts = static_cast<uint64_t *>(calloc(t.bytes / 64 + 1, sizeof(uint64_t)));
    if (starts == nullptr) return false;
    bool sound = mark_entries(t, starts) && indexes_are_sound(t, starts);
    free(starts);
    return sound;
}

void free_table(IdTable &t) {
    free(t.block);
    t = IdTable{};
}

}  // namespace vant::frame
