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
char *joined(std::initializer_list<std::string_view> parts) {
    size_t size = 1;
    for (std::string_view part : parts)
        size += part.size();
    auto *text = static_cast<char *>(malloc(size));
    if (text == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    char *end = text;
    for (std::string_view part : parts)
        end = static_cast<char *>(mempcpy(end, part.data(), part.size()));
    *end = '\0';
    return text;
}

char *system_database(int object) {
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

int make_transition_files(const char *path, char **new_name, char **old_name) {
    *new_name = *old_name = nullptr;
    if (path == nullptr || (*new_name = joined({path, "-t"})) == nullptr) return 0;
    if ((*old_name = joined({path, "-o"})) != nullptr) return 1;
    free(*new_name);
    *new_name = nullptr;
    return 0;
}

void asetdefaults(int which) {
    state.defaults = which >= 0 && which <= kInsecure ? which : kInsecure;
}

char *find_auth_file(const char *name, int object) {
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
    char *path = authdb::find_auth_file(name, object);
    char *new_name = nullptr, *old_name = nullptr;
    if (path != nullptr && authdb::make_transition_files(path, &new_name, &old_name))
        *result = open_after_writer(path, new_name);
    free(path);
    free(new_name);
    free(old_name);
}

}  // namespace vant::authdb
