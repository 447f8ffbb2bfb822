// Rewriting a database file as text around one entry: comments, blank
// fields and the layout of every other entry survive an update unchanged.
#pragma once

#include <stddef.h>
#include <stdio.h>

namespace vant::authdb {

// How the text of a file is split into entries.
enum class EntryLayout {
    authcap,  // an entry goes on over lines that end in a backslash, and
              // a line starting with "#" is a comment
    lines,    // each line is an entry of its own
};

class EntryRewrite {
  public:
    enum class Verdict {
        keep,     // copied as it stands
        replace,  // the entry being updated
        fail,     // the file cannot be rewritten
    };

    // Whether the entry that begins at byte `start` with `first_line`
    // (`length` bytes, its newline included) is the one being updated.
    // `in` may be read from anywhere.
    virtual Verdict decide(FILE *in, long start, const char *first_line, size_t length) = 0;
    // Writes the new entry in place of each entry picked, or after the last
    // one when none was; a deletion writes nothing. False on a failed write.
    virtual bool write_replacement(FILE *out) = 0;

  protected:
    ~EntryRewrite() = default;
};

// Writes to `out` the file at `path` with the update applied; false when
// it could not be read (a missing file is an empty one) or written.
bool rewrite_database(const char *path, FILE *out, EntryRewrite &rewrite,
                      EntryLayout layout = EntryLayout::authcap);

}  // namespace vant::authdb
