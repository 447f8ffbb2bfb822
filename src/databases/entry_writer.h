// Writing one authcap entry: its name, fields with the line wrapping every
// database writer shares, and the closing field. Once a write fails nothing
// more is written.
#pragma once

#include <stdarg.h>
#include <stdio.h>

#include "authdb/authdb.h"
#include "vant.h"

namespace vant::databases {

struct EntryWriter {
    FILE *fp;
    int count = 1;
    int error = 0;

    bool emit(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        if (vfprintf(fp, format, args) < 0) error = 1;
        va_end(args);
        return error == 0;
    }

    // The entry name counts as the first item of the first line; a null
    // name writes only the fields.
    void begin(const char *name) {
        if (fflush(fp) != 0) error = 1;
        if (name != nullptr && emit("%s:", name)) count = authdb::pr_newline(fp, count, &error);
    }

    // 1 when everything was written and flushed.
    int end(const char *name) {
        if (name != nullptr && error == 0) emit("%s:\n", "chkent");
        if (fflush(fp) != 0) error = 1;
        return error == 0 ? 1 : 0;
    }
};

}  // namespace vant::databases
