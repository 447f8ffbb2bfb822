// Rewriting a user's lines of /etc/passwd and /etc/shadow: both files are
// locked, their new texts assembled in memory, and then written back.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "authdb/update.h"
#include "frame/frame.h"
#include "frame/quiet_zone.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::mirror {
namespace {

struct MirrorFile {
    explicit constexpr MirrorFile(const char *file) : path(file) {}

    const char *path;
    authdb::TransitionFile lock;
    bool update = false;     // the new text differs from the file
    bool assembled = false;  // the new text is complete
    text_buffer text = {};
};

struct WriterState {
    MirrorFile passwd{kPasswdPath};
    MirrorFile shadow{kShadowPath};
    bool shadow_in_use = false;
    bool assembly_failed = false;
    // The user's /etc/passwd line before the update: it locates the home
    // directory of the last-login marker.
    char *old_passwd_line = nullptr;
};
constinit authdb::ProcessWide<WriterState> lasting;
constinit WriterState &state = lasting.value;

void release(MirrorFile &file) {
    file.lock.release();
    free_buffer(&file.text);
    file.assembled = false;
}

void release_all() {
    release(state.passwd);
    release(state.shadow);
    free(state.old_passwd_line);
    state.old_passwd_line = nullptr;
    free_userbuf();
}

bool take_lock(MirrorFile &file) {
    return create_lock_file(file.path, file.lock);
}

// The line finder carries lines up to a length; a file holding a longer
// line is not rewritten, rather than have that line cut.
bool lines_fit(FILE *in) {
    size_t length = 0;
    for (int c; (c = getc(in)) != EOF;) {
        length = c == '\n' ? 0 : length + 1;
        if (length > kMaxLine) return false;
    }
    bool read = !ferror(in);
    rewind(in);
    return read;
}

int make_line(const MirrorFile &file, char *line, const pr_field &fields, const pr_flag &flags,
              const char *old_line) {
    if (&file == &state.shadow) return make_shadow_line(line, fields, flags, old_line);
    return make_passwd_line(line, fields, flags, state.shadow_in_use, old_line);
}

bool keep_old_passwd_line(const MirrorFile &file, const char *old_line) {
    if (&file != &state.passwd || old_line == nullptr) return true;
    if ((state.old_passwd_line = strdup(old_line)) != nullptr) return true;
    frame::audit_no_memory();
    return false;
}

// A user whose new line would be the line the file has needs no rewrite;
// the file's name index finds that line without reading the file whole.
bool keeps_its_line(MirrorFile &file, FILE *in, const char *name, const pr_field &fields,
                    const pr_flag &flags) {
    if (!PR_ISSET(flags, PR_U_NAME) || find_user_line(name, in, file.path) != 0 ||
        found_line() == nullptr)
        return false;
    char line[kLineSize];
    if (make_line(file, line, fields, flags, found_line()) != 0 || strcmp(line, found_line()) != 0)
        return false;
    file.update = false;
    return true;
}

// Every line but the user's is kept in order; the user's new line takes
// the old one's place, or is appended. A record without a name removes
// the line.
bool assemble_from(MirrorFile &file, FILE *in, const char *name, const pr_field &fields,
                   const pr_flag &flags) {
    if (keeps_its_line(file, in, name, fields, flags)) {
        free_buffer(&file.text);
        return keep_old_passwd_line(file, found_line());
    }
    rewind(in);
    if (!lines_fit(in) || find_line(name, ':', in, &file.text) < 0) return false;
    const char *old_line = found_line();
    if (old_line == nullptr && fseek(in, 0, SEEK_END) != 0) return false;
    if (!keep_old_passwd_line(file, old_line)) return false;
    if (PR_ISSET(flags, PR_U_NAME)) {
        char line[kLineSize];
        if (make_line(file, line, fields, flags, old_line) != 0) return false;
        if (old_line != nullptr && strcmp(line, old_line) == 0) {
            file.update = false;
            free_buffer(&file.text);
            return true;
        }
        if (add_to_buffer(line, &file.text) != 0) return false;
    } else if (old_line == nullptr) {
        file.update = false;
        free_buffer(&file.text);
        return true;
    }
    if (copy_file(in, &file.text) != 0) return false;
    file.assembled = true;
    return true;
}

bool assemble(MirrorFile &file, const char *name, const pr_field &fields, const pr_flag &flags) {
    free_buffer(&file.text);
    file.assembled = false;
    if (!file.lock.held() || grow_buffer(&file.text) != 0) return false;
    FILE *in = platform::fopen_file(file.path, "r");
    if (in == nullptr) {
        free_buffer(&file.text);
        return false;
    }
    bool assembled = assemble_from(file, in, name, fields, flags);
    fclose(in);
    if (!assembled) free_buffer(&file.text);
    return assembled;
}

// Only a text assembled in this update is written, and only under the
// file's lock.
bool replace(MirrorFile &file) {
    bool replaced = true;
    if (file.update)
        replaced = file.lock.held() && file.assembled && !state.assembly_failed &&
                   write_to_file(file.path, &file.text) == 0;
    return file.lock.release() && replaced;
}

}  // namespace

void audit_failure(const char *name) {
    frame::audit_auth_entry(name, VANT_OBJ_PRPW, "cannot update entry");
}

// /etc/shadow is locked before /etc/passwd by every writer, and the
// platform's lock is taken last, so that no writer waits while holding it.
int lock_pw_files() {
    unlock_pw_files();
    state.passwd.update = state.shadow.update = true;
    state.assembly_failed = false;
    struct stat st;
    state.shadow_in_use = platform::stat_file(kShadowPath, &st) == 0;
    shadow_exists = state.shadow_in_use ? 1 : 0;
    if (state.shadow_in_use && !take_lock(state.shadow)) {
        release_all();
        return 0;
    }
    if (take_lock(state.passwd) && lock_password_database()) return 1;
    release_all();
    return 0;
}

int put_pw_fields(const char *name, const struct pr_field *fields, const struct pr_flag *flags) {
    if (name == nullptr || name[0] == '\0' || fields == nullptr || flags == nullptr) {
        audit_failure(name);
        return -1;
    }
    frame::QuietZone quiet;
    free(state.old_passwd_line);
    state.old_passwd_line = nullptr;
    bool assembled = true;
    if (state.shadow_in_use && !assemble(state.shadow, name, *fields, *flags)) assembled = false;
    if (!assemble(state.passwd, name, *fields, *flags)) assembled = false;
    state.assembly_failed = !assembled;
    return assembled ? 1 : 0;
}

int replace_pw_files(const struct pr_field *fields, const struct pr_flag *flags) {
    bool replaced = replace(state.passwd);
    if (state.shadow_in_use && !replace(state.shadow)) replaced = false;
    unlock_password_database();
    if (replaced) put_slogin(state.old_passwd_line, fields, flags);
    release_all();
    return replaced ? 1 : 0;
}

void unlock_pw_files() {
    state.shadow.lock.release();
    state.passwd.lock.release();
    unlock_password_database();
    release_all();
}

}  // namespace vant::mirror
