// Writing one authcap entry: its name, its fields with the line wrapping
// every database writer shares, and the closing field. Once a write fails
// nothing more is written.
#pragma once

#include <stdio.h>

namespace vant::authdb {

class EntryWriter {
  public:
    // What the stream already holds is flushed first, so that a failure
    // to write it shows.
    explicit EntryWriter(FILE *fp);

    // The name as the first item of the first line; a null name writes
    // nothing, for fields that are part of another entry.
    void name(const char *name);
    bool emit(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Counts the item just written; a fourth item on a line ends it.
    void item();
    // Continues the entry on a new line.
    void new_line();
    // Whether the current line holds an item.
    bool line_started() const { return count_ > 1; }
    // Takes the result of a writer of some fields (1: written) that wrote
    // on the same stream.
    void part(int written);
    void fail() { error_ = 1; }
    bool ok() const { return error_ == 0; }
    // Writes the closing field when `close`, and flushes; 1 when everything
    // was written.
    int end(bool close);

  private:
    FILE *fp_;
    int count_ = 1;
    int error_ = 0;
};

}  // namespace vant::authdb
