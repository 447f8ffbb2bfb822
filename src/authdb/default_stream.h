// The System Default database's stream: the authcap reader reads entries
// from it, or serves the built-in entry in its place, once per pass.
#pragma once

#include "authdb/database_stream.h"

namespace vant::authdb {

struct DefaultStream {
    DatabaseStream stream;
    int builtin_served;  // built-in entries served in this pass
};

DefaultStream &default_stream();

// Starts a new pass over the database; where it is missing, the built-in
// entry is served again.
void rewind_default();
// Reads `path` from its start in place of the database, as a new pass.
void restart_default_at(const char *path);
void close_default();

}  // namespace vant::authdb
