// Writing one System Default entry: its name, d_name, the user defaults and
// the terminal defaults, each part on lines of its own.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "databases/databases.h"
#include "databases/system_default.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::databases {
namespace {

// Nothing more is written once a write has failed.
struct EntryWriter {
    FILE *stream;
    bool ok;

    void emit(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        if (!ok) return;
        va_list args;
        va_start(args, format);
        ok = vfprintf(stream, format, args) >= 0;
        va_end(args);
    }
    void fields(int written) { ok = ok && written == 1; }
};

}  // namespace

// A field writer that fails leaves the entry without the fields after the
// failed one; that entry must not replace the stored one.
int store_df_fields(FILE *stream, const char *name, struct pr_default *record) {
    frame::check_auth_parameters();
    if (stream == nullptr || name == nullptr || record == nullptr) return 0;
    EntryWriter w{stream, fflush(stream) == 0};
    w.emit("%s:\\\n\t:", name);
    if (record->d_name_present != 0)
        w.emit("%s=%.*s:\\\n\t:", "d_name",
               static_cast<int>(strnlen(record->d_name, sizeof record->d_name)), record->d_name);
    if (w.ok) w.fields(databases::store_pw_fields(stream, nullptr, &record->prd, &record->prg));
    w.emit("\\\n\t:");
    if (w.ok) w.fields(databases::store_tc_fields(stream, nullptr, &record->tcd, &record->tcg));
    w.emit("\\\n\t:");
    w.emit("%s:\n", "chkent");
    if (fflush(stream) != 0) w.ok = false;
    return w.ok ? 1 : 0;
}

}  // namespace vant::databases
