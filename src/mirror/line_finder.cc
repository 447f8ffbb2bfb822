// The line finder: finds the line of a conventional line file whose first
// field is one of a few names, searching circularly from where the last
// search stopped, and honours the host's NIS escapes in /etc/passwd.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "mirror/line_finder.h"
#include "mirror/name_index.h"
#include "platform/nis.h"

namespace vant::mirror {

FILE *passwd_fp = nullptr;

namespace {

using platform::kNisPasswdStream;

constexpr size_t kLineSize = 1024;  // userbuf
constexpr size_t kReadMax = kLineSize - 1;
constexpr size_t kKeptMax = kLineSize - 2;  // a cut line keeps this much

// NIS control requests.
constexpr int kControlLocalName = 1;
constexpr int kControlOtherName = 2;
constexpr int kControlEscapesOff = 3;  // zero: "+" and "-" lines are escapes
constexpr int kControlSkipLine = 4;    // non-zero: the current line is skipped
constexpr int kRequestByName = 2;

// The user names that /etc/passwd has shown as ordinary local lines,
// newest first; never shrinks. Every line of every search is checked
// against it, so it is also kept in buckets by a hash of our own: the host's
// hash may be absent (0 for every name), and a plain walk would make a pass
// over the file grow with the square of its users.
struct LocalName {
    char *name;
    int hash;
    LocalName *next;
    LocalName *bucket_next;
};

constexpr size_t kBuckets = 4096;

struct FinderState {
    char *userbuf = nullptr;
    char *entry = nullptr;
    LocalName *locallist = nullptr;
    LocalName **buckets = nullptr;
};
constinit FinderState state;

size_t bucket_of(const char *name) {
    return name_hash(name) % kBuckets;
}

bool on_local_list(const char *name) {
    if (state.buckets == nullptr) return false;
    int hash = platform::nis_hash(name);
    for (const LocalName *n = state.buckets[bucket_of(name)]; n != nullptr; n = n->bucket_next)
        if (n->hash == hash && strcmp(n->name, name) == 0) return true;
    return false;
}

bool have_buckets() {
    if (state.buckets == nullptr)
        state.buckets = reinterpret_cast<LocalName **>(get_buffer(kBuckets * sizeof(LocalName *)));
    return state.buckets != nullptr;
}

// Adds the first field of `line` (up to its first ":", or its kept
// newline) to the local name list unless it is there already.
void note_local_name(const char *line) {
    if (!have_buckets()) return;
    size_t length = strcspn(line, ":\n");
    char *name = get_buffer(length + 1);
    if (name == nullptr) return;
    memcpy(name, line, length);
    name[length] = '\0';
    if (on_local_list(name)) {
        free(name);
        return;
    }
    auto *node = reinterpret_cast<LocalName *>(get_buffer(sizeof(LocalName)));
    if (node == nullptr) {
        free(name);
        return;
    }
    size_t bucket = bucket_of(name);
    *node = LocalName{name, platform::nis_hash(name), state.locallist, state.buckets[bucket]};
    state.locallist = node;
    state.buckets[bucket] = node;
}

bool modification_time(FILE *stream, struct timespec &mtime) {
    struct stat st;
    if (fstat(fileno(stream), &st) != 0) return false;
    mtime = st.st_mtim;
    return true;
}

bool later(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool begins_escape(const char *line) {
    return line[0] == '+' || line[0] == '-';
}

// One physical line of the stream: at most kReadMax bytes go into `buf`
// (the newline included when it fits), as fgets would read them.
struct Physical {
    bool eof = false;   // nothing was read
    size_t stored = 0;  // bytes in buf
    long consumed = 0;  // bytes taken from the stream
    bool newline = false;
};

Physical read_physical(FILE *stream, char *buf) {
    Physical line;
    int c = EOF;
    while (line.stored < kReadMax && (c = getc(stream)) != EOF) {
        buf[line.stored++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[line.stored] = '\0';
    line.consumed = static_cast<long>(line.stored);
    line.eof = line.stored == 0;
    line.newline = line.stored > 0 && buf[line.stored - 1] == '\n';
    return line;
}

// The rest of an overlong physical line, newline included; its length.
long discard_rest(FILE *stream) {
    long count = 0;
    for (int c; (c = getc(stream)) != EOF;) {
        ++count;
        if (c == '\n') break;
    }
    return count;
}

// Takes the newline off a line (unless it is to be kept), or cuts a line
// that has none and skips the rest of it in `rest_of` when given; the count
// of bytes skipped.
long finish_line(char *buf, bool newline, FILE *rest_of, bool keep_newline) {
    size_t length = strlen(buf);
    if (newline) {
        if (!keep_newline && length > 0 && buf[length - 1] == '\n') buf[length - 1] = '\0';
        return 0;
    }
    long skipped = rest_of != nullptr ? discard_rest(rest_of) : 0;
    if (length > kKeptMax) buf[kKeptMax] = '\0';
    return skipped;
}

class Search {
  public:
    Search(const char *const *names, char sep, FILE *stream, text_buffer *keep, int wrap)
        : names_(names),
          sep_(sep),
          stream_(stream),
          keep_(keep),
          wrap_(wrap != 0),
          password_(stream == passwd_fp) {}

    int run();

  private:
    enum class Circle { done, error, again };

    void announce();
    bool next_line(bool &at_end);
    void line_ends(bool newline, const Physical *physical);
    bool escaped();
    int matched();
    Circle full_circle();
    void nis_rewind() {
        if (password_) platform::nis_rewind(kNisPasswdStream);
    }
    int fail() {
        state.entry = nullptr;
        return -1;
    }
    int not_found() {
        state.entry = nullptr;
        return 0;
    }

    const char *const *names_;
    char sep_;
    FILE *stream_;
    text_buffer *keep_;
    bool wrap_;
    bool password_;

    char *buf_ = state.userbuf;
    bool from_nis_ = false;
    bool wrapped_ = false;
    struct timespec mtime_ = {};
    long start_ = 0;
    long running_ = 0;
};

// The NIS side learns which name is wanted.
void Search::announce() {
    if (!password_ || platform::nis_enabled(kNisPasswdStream) == 0) return;
    platform::nis_reqtype(kNisPasswdStream, kRequestByName, names_[0]);
    platform::nis_rewind(kNisPasswdStream);
    platform::nis_control(kNisPasswdStream,
                          on_local_list(names_[0]) ? kControlLocalName : kControlOtherName);
}

// The newline comes off (an escape line of the password stream
// keeps it); an overlong or unterminated line is cut and its rest skipped.
void Search::line_ends(bool newline, const Physical *physical) {
    bool keeps = newline && password_ && begins_escape(buf_) &&
                 platform::nis_control(kNisPasswdStream, kControlEscapesOff) == 0;
    running_ += finish_line(buf_, newline, physical != nullptr ? stream_ : nullptr, keeps);
}

// The next line into userbuf, from NIS or from the file;
// at_end when the file has ended with no line (after a wrap when allowed).
bool Search::next_line(bool &at_end) {
    at_end = false;
    const char *nis = password_ && platform::nis_has_getline()
                          ? platform::nis_getline(kNisPasswdStream)
                          : nullptr;
    if (nis != nullptr) {
        from_nis_ = true;
        size_t length = strnlen(nis, kReadMax);
        memcpy(buf_, nis, length);
        buf_[length] = '\0';
        line_ends(length > 0 && buf_[length - 1] == '\n', nullptr);
        running_ = ftell(stream_);
        return running_ >= 0;
    }

    from_nis_ = false;
    Physical line = read_physical(stream_, buf_);
    if (line.eof && ferror(stream_)) return false;
    if (line.eof && !wrapped_ && wrap_ && start_ != 0) {
        rewind(stream_);
        running_ = 0;
        wrapped_ = true;
        line = read_physical(stream_, buf_);
        if (line.eof && ferror(stream_)) return false;
    }
    if (line.eof) {
        at_end = true;
        return true;
    }
    running_ += line.consumed;
    line_ends(line.newline, &line);
    return true;
}

// An escape line of the password stream goes to the NIS side;
// other lines there name local users.
bool Search::escaped() {
    if (!password_) return false;
    if (platform::nis_enabled(kNisPasswdStream) != 0 && begins_escape(buf_) &&
        platform::nis_control(kNisPasswdStream, kControlEscapesOff) == 0) {
        platform::nis_escape(kNisPasswdStream, buf_);
        return true;
    }
    if (platform::nis_control(kNisPasswdStream, kControlEscapesOff) == 0) note_local_name(buf_);
    return false;
}

// The result for a matching line, or -2 when no name matches.
int Search::matched() {
    for (const char *const *name = names_; *name != nullptr; ++name) {
        if (!match_line(*name, buf_, sep_)) continue;
        if (password_) {
            if (platform::nis_stopped(kNisPasswdStream, names_[0]) != 0) continue;
            platform::nis_rewind(kNisPasswdStream);
        }
        state.entry = buf_;
        return from_nis_ ? 1 : 0;
    }
    return -2;
}

// The search has come back to where it began. It ends unless the
// file was modified meanwhile; then it runs once more from the top.
Search::Circle Search::full_circle() {
    struct timespec now;
    if (!modification_time(stream_, now)) return Circle::error;
    if (!later(now, mtime_)) return Circle::done;
    rewind(stream_);
    mtime_ = now;
    start_ = running_ = 0;
    wrapped_ = false;  // the search now ends at the end of the file
    nis_rewind();
    return Circle::again;
}

int Search::run() {
    announce();
    if (!modification_time(stream_, mtime_) || (start_ = ftell(stream_)) < 0) return fail();
    running_ = start_;
    clearerr(stream_);

    for (;;) {
        bool at_end = false;
        if (!next_line(at_end)) return fail();
        if (at_end && !wrapped_) {
            nis_rewind();
            return not_found();
        }
        if (!at_end) {
            if (escaped()) continue;
            if (int result = matched(); result >= 0) return result;
            if (password_ && platform::nis_control(kNisPasswdStream, kControlSkipLine) != 0)
                continue;
            if (keep_ != nullptr) {
                // An escape line that kept its newline goes in as the file has it.
                size_t length = strlen(buf_);
                if (length > 0 && buf_[length - 1] == '\n') buf_[length - 1] = '\0';
                if (add_to_buffer(buf_, keep_) != 0) {
                    nis_rewind();
                    return fail();
                }
            }
            if (!(running_ == start_ || (wrapped_ && running_ >= start_))) continue;
        }
        switch (full_circle()) {
            case Circle::done:
                return not_found();
            case Circle::error:
                return fail();
            case Circle::again:
                break;
        }
    }
}

// A circular search that begins inside a line would match its tail.
bool at_line_start(FILE *stream, long position) {
    char before;
    return position == 0 ||
           (pread(fileno(stream), &before, 1, position - 1) == 1 && before == '\n');
}

// The physical line at `offset` into userbuf, kept as a search keeps it,
// read from the file itself and not from what the stream may hold of an
// earlier version; its full length, or -1.
long read_line_at(int fd, uint64_t offset) {
    char *buf = state.userbuf;
    ssize_t n = pread(fd, buf, kReadMax, static_cast<off_t>(offset));
    if (n <= 0) return -1;
    if (char *end = static_cast<char *>(memchr(buf, '\n', static_cast<size_t>(n)))) {
        *end = '\0';
        return end - buf + 1;
    }
    buf[std::min(static_cast<size_t>(n), kKeptMax)] = '\0';
    long length = n;
    for (char rest[4096];;) {
        ssize_t m = pread(fd, rest, sizeof rest, static_cast<off_t>(offset) + length);
        if (m <= 0) return m == 0 ? length : -1;
        if (char *end = static_cast<char *>(memchr(rest, '\n', static_cast<size_t>(m))))
            return length + (end - rest) + 1;
        length += m;
    }
}

// The name's line at `offset`, taken only if the file is still the one
// the index described; the stream is left after it.
bool take_line_at(FILE *stream, uint64_t offset, const char *name, const struct stat &source) {
    long length = read_line_at(fileno(stream), offset);
    struct stat now;
    return length > 0 && match_line(name, state.userbuf, ':') && fstat(fileno(stream), &now) == 0 &&
           same_state(source, now) &&
           fseeko(stream, static_cast<off_t>(offset) + length, SEEK_SET) == 0;
}

// The index's answer, checked, as the circular search would give it; false
// (the stream back where it was) when the scan must decide.
bool indexed_search(const char *name, FILE *stream, const char *path, int &result) {
    struct stat source;
    long position = ftell(stream);
    if (position < 0 || fstat(fileno(stream), &source) != 0 || !at_line_start(stream, position))
        return false;
    uint64_t offset = 0;
    clearerr(stream);
    switch (
        indexed_line(path, fileno(stream), source, name, static_cast<uint64_t>(position), offset)) {
        case IndexAnswer::unknown:
            return false;
        case IndexAnswer::no_line:
            // A search that began at the top ends at the bottom; any other
            // comes back to where it began.
            if (fseeko(stream, position == 0 ? source.st_size : position, SEEK_SET) != 0)
                return false;
            state.entry = nullptr;
            result = 0;
            return true;
        case IndexAnswer::line:
            break;
    }
    if (!take_line_at(stream, offset, name, source)) {
        distrust_index(path);
        clearerr(stream);
        fseek(stream, position, SEEK_SET);
        return false;
    }
    state.entry = state.userbuf;
    result = 0;
    return true;
}

}  // namespace

char *found_line() {
    return state.entry;
}

int find_any_line(const char *const *names, char sep, FILE *stream, text_buffer *keep, int wrap) {
    if (stream == nullptr || names == nullptr || names[0] == nullptr) {
        state.entry = nullptr;
        return -1;
    }
    if (state.userbuf == nullptr && (state.userbuf = get_buffer(kLineSize)) == nullptr) {
        state.entry = nullptr;
        return -1;
    }
    state.entry = state.userbuf;
    return Search(names, sep, stream, keep, wrap).run();
}

int find_line(const char *name, char sep, FILE *stream, text_buffer *keep) {
    const char *const names[] = {name, nullptr};
    return find_any_line(names, sep, stream, keep, 1);
}

int find_user_line(const char *name, FILE *stream, const char *path) {
    // The host's NIS hooks may take part in a search of the password
    // stream; only the scan asks them.
    bool indexable = stream != nullptr && name != nullptr && path != nullptr &&
                     !(stream == passwd_fp && platform::nis_has_stream_hooks());
    if (indexable && state.userbuf == nullptr) state.userbuf = get_buffer(kLineSize);
    int result = 0;
    if (indexable && state.userbuf != nullptr && indexed_search(name, stream, path, result))
        return result;
    return find_line(name, ':', stream, nullptr);
}

int match_line(const char *name, const char *line, char sep) {
    if (name == nullptr || line == nullptr) return 0;
    size_t length = strlen(name);
    if (strncmp(name, line, length) != 0) return 0;
    return line[length] == sep || line[length] == '\0' ? 1 : 0;
}

char *skipfield(char *field, char sep) {
    if (field == nullptr || sep == '\0') return nullptr;
    char *at = strchr(field, sep);
    if (at == nullptr) return nullptr;
    *at = '\0';
    return at + 1;
}

void free_userbuf() {
    free(state.userbuf);
    state.userbuf = nullptr;
    state.entry = nullptr;
}

}  // namespace vant::mirror
