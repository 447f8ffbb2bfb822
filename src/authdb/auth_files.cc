// Where each database lies, the names of its transition files, and opening
// it for reading once no writer is busy replacing it.
#include <stdlib.h>
#include <string.h>

#include <initializer_list>
#include <string_view>

#include "authdb/authdb.h"
#include "authdb/writer_watch.h"
#include "frame/frame.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::authdb {
namespace {

constexpr const char *kDefaultNames[] = {"system", "secure", "insecure"};
constexpr int kInsecure = 2;

struct SystemDatabase {
    int object;
    const char *file;
};
constexpr SystemDatabase kSystemDatabases[] = {{VANT_OBJ_TTYS, "ttys"},
                                               {VANT_OBJ_FILES, "files"},
                                               {VANT_OBJ_DEFAULT, "default"},
                                               {VANT_OBJ_DEVASSIGN, "devassign"}};

struct FilesState {
    int defaults = 0;
};
constinit FilesState state;

// A new text made of the parts, or null (reported) when memory runs out.
OwnedText joined(std::initializer_list<std::string_view> parts) {
    size_t size = 1;
    for (std::string_view part : parts)
        size += part.size();
    OwnedText text(static_cast<char *>(malloc(size)));
    if (text == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    char *end = text.get();
    for (std::string_view part : parts)
        end = static_cast<char *>(mempcpy(end, part.data(), part.size()));
    *end = '\0';
    return text;
}

OwnedText system_database(int object) {
    for (const SystemDatabase &db : kSystemDatabases)
        if (db.object == object)
            return joined({"/etc/auth/", kDefaultNames[state.defaults], "/", db.file});
    return nullptr;
}

// Opens `path` once no "-t" file stands beside it; a writer that stopped
// changing its file is given up on, as if the database were missing.
FILE *open_after_writer(const char *path, const char *transition) {
    if (!outwait_writer(transition)) return nullptr;
    return platform::fopen_file(path, "r");
}

}  // namespace
}  // namespace vant::authdb

namespace vant::authdb {

std::optional<TransitionNames> make_transition_files(const char *path) {
    if (path == nullptr) return std::nullopt;
    TransitionNames names{joined({path, "-t"}), nullptr};
    if (names.new_name == nullptr) return std::nullopt;
    names.old_name = joined({path, "-o"});
    if (names.old_name == nullptr) return std::nullopt;
    return names;
}

void asetdefaults(int which) {
    state.defaults = which >= 0 && which <= kInsecure ? which : kInsecure;
}

OwnedText find_auth_file(const char *name, int object) {
    switch (object) {
        case VANT_OBJ_PRPW:
            if (!vant::platform::is_file_name(name)) return nullptr;
            return joined({"/tcb/files/auth/", std::string_view(name, 1), "/", name});
        case VANT_OBJ_AUTHORIZE:
            if (!vant::platform::is_file_name(name)) return nullptr;
            return joined({"/etc/auth/subsystems/", name});
        default:
            return system_database(object);
    }
}

void open_auth_file(const char *name, int object, FILE **result) {
    if (result == nullptr) return;
    *result = nullptr;
    OwnedText path = authdb::find_auth_file(name, object);
    if (auto names = authdb::make_transition_files(path.get()))
        *result = open_after_writer(path.get(), names->new_name.get());
}

}  // namespace vant::authdb
