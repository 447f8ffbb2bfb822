#include "authdb/entry_rewrite.h"

#include <errno.h>

#include "authdb/line_reader.h"
#include "platform/root.h"

namespace vant::authdb {
namespace {

using Verdict = EntryRewrite::Verdict;

// Whole lines are read, so that no piece of a long line is taken for the
// start of an entry.
struct Copy {
    LineReader &lines;
    FILE *out;
    EntryRewrite &rewrite;
    EntryLayout layout;
    bool found = false;
    bool line_ended = true;

    bool continues() const { return layout == EntryLayout::authcap && lines.continues(); }

    // The rest of an entry whose first line was just read: copied, or
    // passed over.
    bool finish_entry(bool copy) {
        bool ok = true;
        for (;;) {
            if (copy) {
                ok = fwrite(lines.line(), 1, lines.length(), out) == lines.length();
                line_ended = lines.ended();
            }
            if (!ok || !continues() || lines.next() == nullptr) return ok;
        }
    }

    Verdict judge(long start) {
        if (layout == EntryLayout::authcap && lines.line()[0] == '#') return Verdict::keep;
        FILE *in = lines.stream();
        long after = ftell(in);
        Verdict v = rewrite.decide(in, start, lines.line(), lines.length());
        if (after < 0 || fseek(in, after, SEEK_SET) != 0) return Verdict::fail;
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
        while (ok && lines.next() != nullptr) {
            ok = entry(start);
            start = ftell(lines.stream());
        }
        // An entry appended after a last line without its newline would
        // join it.
        if (ok && !line_ended) ok = fputc('\n', out) != EOF;
        return ok && !lines.failed();
    }
};

}  // namespace

// An unreadable file is not an empty one: only a missing file is.
bool rewrite_database(const char *path, FILE *out, EntryRewrite &rewrite, EntryLayout layout) {
    LineReader lines(platform::fopen_file(path, "r"));
    if (!lines.is_open() && errno != ENOENT) return false;
    Copy copy{lines, out, rewrite, layout};
    if (lines.is_open() && !copy.run()) return false;
    return copy.found || rewrite.write_replacement(out);
}

}  // namespace vant::authdb
