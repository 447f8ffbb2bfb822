// Rewriting a database file as text around one entry: comments, blank
// fields and the layout of every other entry survive an update unchanged.
#pragma once

#include <stdio.h>

namespace vant::databases {

class EntryRewrite {
  public:
    enum class Verdict {
        keep,     // copied as it stands
        replace,  // the entry being updated
        fail,     // the file cannot be rewritten
    };

    // Whether the entry that begins at byte `start` with `first_line` is the
    // one being updated. `in` may be read from anywhere.
    virtual Verdict decide(FILE *in, long start, const char *first_line) = 0;
    // Writes the new entry in place of each entry picked, or after the last
    // one when none was; a deletion writes nothing. False on a failed write.
    virtual bool write_replacement(FILE *out) = 0;

  protected:
    ~EntryRewrite() = default;
};

// Writes to `out` the database at `path` with the update applied; false
// when it could not be read (a missing file is an empty one) or written.
bool rewrite_database(const char *path, FILE *out, EntryRewrite &rewrite);

}  // namespace vant::databases
