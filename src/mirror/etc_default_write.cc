// Rewriting the key lines of /etc/default/passwd and /etc/default/login
// when the System Default entry is updated: both files are locked, their
// new texts assembled in memory, and only the files that changed are
// written back.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "authdb/update.h"
#include "frame/quiet_zone.h"
#include "mirror/etc_default_files.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/line_finder.h"
#include "platform/root.h"

namespace vant::mirror {
namespace {

// One file's part of an update.
struct FileUpdate {
    authdb::TransitionFile lock;
    int upd = 0;  // the file must be rewritten
    text_buffer mem = {};
};

// Indexed like kDfltFiles.
struct DfltUpdateState {
    FileUpdate files[kDfltFileCount];
};
constinit authdb::ProcessWide<DfltUpdateState> lasting;
constinit DfltUpdateState &state = lasting.value;

void release_all() {
    for (FileUpdate &u : state.files) {
        u.lock.release();
        u.upd = 0;
        free_buffer(&u.mem);
    }
    free_userbuf();
}

// The line that mirrors a field; false when it does not fit (it always
// does: the longest key and value take far less).
bool format_line(const DfltKey &k, const struct pr_field *fields, char *line, size_t size) {
    int n = k.kind == DfltValue::passreq
                ? snprintf(line, size, "%s=%s", k.key, fields->u_nullpw != 0 ? "NO" : "YES")
                : snprintf(line, size, "%s=%ld", k.key,
                           static_cast<long>(round_to_weeks(fields->*k.seconds)));
    return n > 0 && static_cast<size_t>(n) < size;
}

// Assembling one file's new text.
class Assembly {
  public:
    Assembly(const DfltFile &file, int present, const struct pr_field *fields,
             const struct pr_flag *flags, FileUpdate &u)
        : file_(file), present_(present), fields_(fields), flags_(flags), u_(u) {}

    bool run();

  private:
    bool mirrored(const DfltKey &k) const { return present_ != 0 && PR_ISSET(*flags_, k.field); }
    bool walk(FILE *in);
    bool key_line(int index, const char *old_line);
    bool append_missing();

    const DfltFile &file_;
    int present_;
    const struct pr_field *fields_;
    const struct pr_flag *flags_;
    FileUpdate &u_;
    bool seen_[2] = {};
};

// The first line of a key is rewritten (or dropped when the field is not
// mirrored); later lines of the same key are dropped.
bool Assembly::key_line(int index, const char *old_line) {
    if (seen_[index]) return true;
    seen_[index] = true;
    const DfltKey &k = file_.keys[index];
    if (!mirrored(k)) {
        u_.upd = 1;
        return true;
    }
    char line[64];
    if (!format_line(k, fields_, line, sizeof line)) return false;
    if (strcmp(line, old_line) != 0) u_.upd = 1;
    return add_to_buffer(line, &u_.mem) == 0;
}

// Every other line goes to the buffer as it stands, in order.
bool Assembly::walk(FILE *in) {
    const char *const names[] = {file_.keys[0].key, file_.keys[1].key, nullptr};
    while (find_any_line(names, '=', in, &u_.mem, 0) >= 0) {
        const char *line = found_line();
        if (line == nullptr) return true;
        int index = match_line(names[0], line, '=') ? 0 : 1;
        if (!key_line(index, line)) return false;
    }
    return false;
}

bool Assembly::append_missing() {
    for (int i = 0; i < 2; ++i) {
        const DfltKey &k = file_.keys[i];
        if (seen_[i] || !mirrored(k)) continue;
        char line[64];
        if (!format_line(k, fields_, line, sizeof line) || add_to_buffer(line, &u_.mem) != 0)
            return false;
        u_.upd = 1;
    }
    return true;
}

// A missing file is an empty one; one that cannot be read is not.
bool Assembly::run() {
    free_buffer(&u_.mem);
    if (grow_buffer(&u_.mem) != 0) return false;
    FILE *in = platform::fopen_file(file_.path, "r");
    if (in == nullptr && errno != ENOENT) return false;
    bool ok = true;
    if (in != nullptr) {
        ok = walk(in);
        if (fclose(in) != 0) ok = false;
    }
    return ok && append_missing();
}

}  // namespace

int lock_dflt_files() {
    for (int i = 0; i < kDfltFileCount; ++i) {
        if (create_lock_file(kDfltFiles[i].path, state.files[i].lock)) continue;
        for (FileUpdate &u : state.files)
            u.lock.release();
        return 0;
    }
    return 1;
}

int put_dflt_fields(int present, const struct pr_field *fields, const struct pr_flag *flags) {
    for (FileUpdate &u : state.files)
        u.upd = 0;
    if (fields == nullptr || flags == nullptr) return 0;
    frame::QuietZone quiet;
    for (int i = 0; i < kDfltFileCount; ++i) {
        if (Assembly(kDfltFiles[i], present, fields, flags, state.files[i]).run()) continue;
        // A text assembled in part must never be written.
        for (FileUpdate &u : state.files)
            u.upd = 0;
        return 0;
    }
    return 1;
}

int replace_dflt_files() {
    int result = 1;
    for (int i = kDfltFileCount - 1; i >= 0; --i) {
        FileUpdate &u = state.files[i];
        if (u.upd != 0 && write_to_file(kDfltFiles[i].path, &u.mem) != 0) result = 0;
        if (!u.lock.release()) result = 0;
    }
    release_all();
    return result;
}

void unlock_dflt_files() {
    release_all();
}

}  // namespace vant::mirror
