// The id maps: a source file built into a table, and a map file loaded
// from disk (its header made to agree with its length, so that the input
// goes on to the checks of its structure).
#include <string.h>
#include <sys/stat.h>

#include "frame/map_ids.h"
#include "support/fuzz_root.h"

namespace {

using namespace vant;

// The source's status-change time that the map file is stamped with.
constexpr uint32_t kSourceTime = 1;
constexpr uint32_t kMostEntries = 256;

void look_up(const frame::IdTable &t) {
    frame::find_by_name(t, "alice");
    frame::find_by_id(t, 1000);
    for (uint32_t i = 0; i < t.count; ++i) {
        frame::entry_name(t, frame::by_name_offset(t, i));
        frame::entry_id(t, frame::by_id_offset(t, i));
    }
}

void build_from_source(const std::string &text) {
    frame::IdTable t;
    if (frame::build_table(text, t) == 0) look_up(t);
    frame::free_table(t);
}

std::string map_file(const std::string &input) {
    if (input.size() < 4) return input;
    uint32_t count = frame::get32(input.data()) % kMostEntries;
    std::string body = input.substr(4);
    count = std::min<uint32_t>(count, static_cast<uint32_t>(body.size() / 8));
    char header[frame::kHeaderBytes], stamp[frame::kStampBytes];
    frame::put32(header, count);
    frame::put32(header + 4, static_cast<uint32_t>(body.size() - 8 * size_t{count}));
    frame::put32(stamp, kSourceTime);
    return std::string(header, sizeof header) + body + std::string(stamp, sizeof stamp);
}

void load_map_file(const std::string &input) {
    frame::IdMap &m = frame::user_map();
    fuzz::root().write(m.map_path, map_file(input));
    struct stat source {};
    source.st_ctime = kSourceTime;
    if (frame::read_file(m, source) == 0) look_up(m.table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::root();
    fuzz::Input in(data, size);
    if (in.choice() & 1)
        load_map_file(in.rest());
    else
        build_from_source(in.rest());
    fuzz::end_input();
    return 0;
}
