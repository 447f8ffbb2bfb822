// Writing one System Default entry: its name, d_name, the user defaults and
// the terminal defaults, each part on lines of its own.
#include <stdio.h>
#include <string.h>

#include "authdb/entry_writer.h"
#include "databases/databases.h"
#include "databases/system_default.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::databases {

// A field writer that fails leaves the entry without the fields after the
// failed one; that entry must not replace the stored one.
int store_df_fields(FILE *stream, const char *name, struct pr_default *record) {
    frame::check_auth_parameters();
    if (stream == nullptr || name == nullptr || record == nullptr) return 0;
    authdb::EntryWriter w(stream);
    w.name(name);
    w.new_line();
    if (record->d_name_present != 0) {
        w.emit("%s=%.*s:", "d_name",
               static_cast<int>(strnlen(record->d_name, sizeof record->d_name)), record->d_name);
        w.new_line();
    }
    if (w.ok()) w.part(databases::store_pw_fields(stream, nullptr, &record->prd, &record->prg));
    w.new_line();
    if (w.ok()) w.part(databases::store_tc_fields(stream, nullptr, &record->tcd, &record->tcg));
    w.new_line();
    return w.end(true);
}

}  // namespace vant::databases
