#include "databases/entry_rewrite.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/types.h>

#include "platform/root.h"

namespace vant::databases {
namespace {

using Verdict = EntryRewrite::Verdict;

// Whole lines are read, so that no piece of a long line is taken for the
// start of an entry.
struct LineReader {
    FILE *in;
    char *line = nullptr;
    size_t size = 0;
    ssize_t length = 0;

    ~LineReader() { free(line); }
    bool next() { return (length = getline(&line, &size, in)) > 0; }
    bool continues() const {
        return length >= 2 && line[length - 1] == '\n' && line[length - 2] == '\\';
    }
    bool ended() const { return line[length - 1] == '\n'; }
};

struct Copy {
    LineReader lines;
    FILE *out;
    EntryRewrite &rewrite;
    bool found = false;
    bool line_ended = true;

    // The rest of an entry whose first line was just read: copied, or
    // passed over.
    bool finish_entry(bool copy) {
        bool ok = true;
        for (;;) {
            if (copy) {
                auto n = static_cast<size_t>(lines.length);
                ok = fwrite(lines.line, 1, n, out) == n;
                line_ended = lines.ended();
            }
            if (!ok || !lines.continues() || !lines.next()) return ok;
        }
    }

    Verdict judge(long start) {
        if (lines.line[0] == '#') return Verdict::keep;
        long after = ftell(lines.in);
        Verdict v = rewrite.decide(lines.in, start, lines.line);
        if (after < 0 || fseek(lines.in, after, SEEK_SET) != 0) return Verdict::fail;
        return v;
    }

    bool entry(long start) {
        switch (judge(start)) {
            case Verdict::keep:
                return finish_entry(true);
            case Verdict::replace:
                found = true;
                line_ended = true;
                return rewrite.write_replacement(out) && finish_entry(false);
            case Verdict::fail:
                break;
        }
        return false;
    }

    bool run() {
        bool ok = true;
        long start = 0;
        while (ok && lines.next()) {
            ok = entry(start);
            start = ftell(lines.in);
        }
        // An entry appended after a last line without its newline would
        // join it.
        if (ok && !line_ended) ok = fputc('\n', out) != EOF;
        return ok && feof(lines.in) && !ferror(lines.in);
    }
};

}  // namespace

// An unreadable database is not an empty one: only a missing file is.
bool rewrite_database(const char *path, FILE *out, EntryRewrite &rewrite) {
    FILE *in = platform::fopen_file(path, "r");
    if (in == nullptr && errno != ENOENT) return false;
    bool found = false;
    if (in != nullptr) {
        Copy copy{{in}, out, rewrite};
        bool copied = copy.run();
        found = copy.found;
        fclose(in);
        if (!copied) return false;
    }
    return found || rewrite.write_replacement(out);
}

}  // namespace vant::databases
