// The authcap entry reader: one entry assembled from its physical lines,
// comments passed over, the wanted entry found by name or by file pattern.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::authdb {
namespace {

constexpr int kFirstSize = 128;
// Room for the longest physical line an entry can hold, with its newline
// and the NUL: such a line is always read in one piece, and a longer one
// is too long for any entry.
constexpr int kLineSize = VANT_AUTHCAP_MAX + 1;

constexpr char kTooLong[] = "Authcap entry too long";
constexpr char kNoChkent[] = "no chkent field";

struct ReaderState {
    char *abuf = nullptr;
};
constinit ReaderState state;

enum class Step { kEntry, kEnd, kBad, kNoMemory };

// One entry being assembled in the caller's buffer.
struct Entry {
    char **buf;
    int *len;
    const char *name;
    int object;
    long offset;   // just past the last byte read
    int used = 0;  // characters in the entry
};

long to_end(FILE *fp) {
    return fseek(fp, 0, SEEK_END) == 0 ? ftell(fp) : -1;
}

// Reads one physical line; its length, newline included, or 0 at the end
// of the file, or -1 for a line that cannot be taken as text: one holding
// a NUL byte, or a failed read.
long read_line(FILE *fp, long offset, char (&line)[kLineSize]) {
    if (fgets(line, kLineSize, fp) == nullptr) return ferror(fp) ? -1 : 0;
    long n = static_cast<long>(strlen(line));
    if (n == 0) return -1;
    if (line[n - 1] == '\n' || n == kLineSize - 1) return n;
    // The last line without its newline, unless a NUL byte cut it short.
    return feof(fp) && ftell(fp) == offset + n ? n : -1;
}

// Drops the newline and, when the entry goes on, the backslash before it.
bool drop_line_end(const char *line, long &n) {
    if (n == 0 || line[n - 1] != '\n') return false;
    --n;
    if (n == 0 || line[n - 1] != '\\') return false;
    --n;
    return true;
}

// Makes room for `more` characters and the NUL, exactly.
bool grow(Entry &e, long more) {
    long needed = e.used + more + 1;
    if (needed <= *e.len) return true;
    char *bigger = static_cast<char *>(realloc(*e.buf, static_cast<size_t>(needed)));
    if (bigger == nullptr) return false;
    *e.buf = state.abuf = bigger;
    *e.len = static_cast<int>(needed);
    return true;
}

// The rest of the file is left unread in this pass, so that no part of the
// entry can be taken for an entry of its own.
Step too_long(Entry &e, FILE *fp) {
    frame::audit_auth_entry(e.name, e.object, kTooLong);
    e.offset = to_end(fp);
    return Step::kEntry;
}

Step assemble(Entry &e, FILE *fp) {
    char line[kLineSize];
    e.used = 0;
    (*e.buf)[0] = '\0';
    for (;;) {
        long n = read_line(fp, e.offset, line);
        if (n == 0) return Step::kEnd;
        if (n < 0) return Step::kBad;
        e.offset += n;
        bool continues = drop_line_end(line, n);
        if (e.used + n + 1 > VANT_AUTHCAP_MAX) return too_long(e, fp);
        if (!grow(e, n)) {
            frame::audit_auth_entry(e.name, e.object, kTooLong);
            return Step::kNoMemory;
        }
        memcpy(*e.buf + e.used, line, static_cast<size_t>(n));
        e.used += static_cast<int>(n);
        (*e.buf)[e.used] = '\0';
        if (!continues) return Step::kEntry;
    }
}

bool wanted(const Entry &e) {
    if ((*e.buf)[0] == '#') return false;
    if (e.name == nullptr) return true;
    switch (e.object) {
        case VANT_OBJ_PRPW:
        case VANT_OBJ_TTYS:
        case VANT_OBJ_DEVASSIGN:
            return match_name(e.name) != 0;
        case VANT_OBJ_FILES:
            return match_file(e.name, *e.buf) != 0;
        default:
            return false;
    }
}

bool first_buffer(char **buf, int *len) {
    if (*buf != nullptr && *len > 0) return true;
    char *fresh = static_cast<char *>(realloc(*buf, kFirstSize));
    if (fresh == nullptr) return false;
    *buf = fresh;
    *len = kFirstSize;
    return true;
}

int finish(long *pos, long offset, int result) {
    if (pos != nullptr) *pos = offset;
    return result;
}

}  // namespace

char *current_entry() {
    return state.abuf;
}

void set_current_entry(char *entry) {
    state.abuf = entry;
}

}  // namespace vant::authdb

namespace vant::authdb {

int agetent(char **buf, int *len, const char *name, int object, long *pos, FILE *fp) {
    long offset = pos != nullptr ? *pos : 0;
    if (fp == nullptr || buf == nullptr || len == nullptr) return -1;
    if (ftell(fp) != offset && fseek(fp, offset, SEEK_SET) != 0) return -1;
    if (!first_buffer(buf, len)) {
        frame::audit_no_memory();
        to_end(fp);
        return -1;
    }
    set_current_entry(*buf);
    Entry e{buf, len, name, object, offset};
    for (;;) {
        switch (assemble(e, fp)) {
            case Step::kEnd:
                return finish(pos, e.offset, 0);
            case Step::kBad:
                return finish(pos, to_end(fp), -1);
            case Step::kNoMemory:
                to_end(fp);
                return -1;
            case Step::kEntry:
                break;
        }
        if (!wanted(e)) continue;
        if (authdb::agetflag("chkent") == 1) return finish(pos, e.offset, 1);
        frame::audit_auth_entry(name, object, kNoChkent);
        return finish(pos, to_end(fp), -1);
    }
}

}  // namespace vant::authdb
