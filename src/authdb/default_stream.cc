#include "authdb/default_stream.h"

#include "authdb/authdb.h"
#include "vant.h"

namespace vant::authdb {
namespace {

constinit DefaultStream state{};

}  // namespace

DefaultStream &default_stream() {
    return state;
}

void rewind_default() {
    rewind_database(state.stream, VANT_OBJ_DEFAULT);
    state.builtin_served = 0;
}

void restart_default_at(const char *path) {
    open_instead(state.stream, path);
    state.stream.filepos = 0;
    state.builtin_served = 0;
}

void close_default() {
    close_database(state.stream);
    authdb::end_authcap(VANT_OBJ_DEFAULT);
    state.builtin_served = 0;
}

}  // namespace vant::authdb
