#include "authdb/entry_writer.h"

#include <stdarg.h>

#include "authdb/authdb.h"

namespace vant::authdb {
namespace {

constexpr char kContinuation[] = "\\\n\t:";
constexpr int kItemsPerLine = 4;

}  // namespace

EntryWriter::EntryWriter(FILE *fp) : fp_(fp) {
    if (fflush(fp_) != 0) error_ = 1;
}

void EntryWriter::name(const char *name) {
    if (name != nullptr && emit("%s:", name)) item();
}

bool EntryWriter::emit(const char *format, ...) {
    if (error_ != 0) return false;
    va_list args;
    va_start(args, format);
    if (vfprintf(fp_, format, args) < 0) error_ = 1;
    va_end(args);
    return error_ == 0;
}

void EntryWriter::item() {
    count_ = authdb::pr_newline(fp_, count_, &error_);
}

void EntryWriter::new_line() {
    count_ = authdb::pr_newline(fp_, kItemsPerLine, &error_);
}

void EntryWriter::part(int written) {
    if (written != 1) error_ = 1;
}

int EntryWriter::end(bool close) {
    if (close) emit("%s:\n", "chkent");
    if (fflush(fp_) != 0) error_ = 1;
    return error_ == 0 ? 1 : 0;
}

int pr_newline(FILE *fp, int count, int *error) {
    if (error != nullptr && *error != 0) return count;
    if (count < kItemsPerLine) return count + 1;
    if (fp == nullptr || fputs(kContinuation, fp) == EOF) {
        if (error != nullptr) *error = 1;
    }
    return 1;
}

}  // namespace vant::authdb
