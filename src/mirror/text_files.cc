// Moving a conventional file's whole text between the file and a text
// buffer. A file is never rewritten in place: programs read these files
// without honouring our lock files, and a crash half way must not cost
// the file.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <ulimit.h>
#include <unistd.h>

#include "authdb/authdb.h"
#include "authdb/update.h"
#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"
#include "platform/root.h"
#include "platform/transfer.h"
#include "vant.h"

namespace vant::mirror {
namespace {

// Apart from the "-t" and "-o" names; only the holder of the file's lock
// writes it, so one found there was left by a writer that died.
constexpr char kNewSuffix[] = "-n";
constexpr long kBlock = 512;

char *joined(const char *path, const char *suffix) {
    size_t length = strlen(path);
    auto *name = static_cast<char *>(malloc(length + strlen(suffix) + 1));
    if (name == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    memcpy(name, path, length);
    strcpy(name + length, suffix);
    return name;
}

bool fits_size_limit(int32_t bytes) {
    long blocks = ulimit(UL_GETFSIZE);
    return blocks >= 0 && blocks >= (bytes + kBlock - 1) / kBlock;
}

// The new file takes the old one's owner, group and mode before it holds
// anything, and is on disk before it takes the name.
bool write_new_file(int fd, const struct stat &old, const text_buffer &text) {
    return fchown(fd, old.st_uid, old.st_gid) == 0 && fchmod(fd, old.st_mode & 07777) == 0 &&
           platform::write_all(fd, text.storage, static_cast<size_t>(text.used)) && fsync(fd) == 0;
}

bool replace_whole(const char *path, const struct stat &old, const text_buffer &text) {
    char *new_name = joined(path, kNewSuffix);
    if (new_name == nullptr) return false;
    platform::unlink_file(new_name);
    int fd = platform::open_file(new_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0);
    if (fd >= 0) authdb::update_step(authdb::UpdateStep::transition_created);
    bool replaced = fd >= 0 && write_new_file(fd, old, text);
    if (fd >= 0 && close(fd) != 0) replaced = false;
    if (replaced) authdb::update_step(authdb::UpdateStep::new_version_synced);
    replaced = replaced && platform::rename_file(new_name, path) == 0;
    if (replaced) {
        authdb::update_step(authdb::UpdateStep::renamed);
        // The directory's entry changes with the rename.
        platform::sync_directory_of(path);
        authdb::update_step(authdb::UpdateStep::directory_synced);
    } else if (fd >= 0) {
        platform::unlink_file(new_name);
    }
    free(new_name);
    return replaced;
}

}  // namespace

int write_to_file(const char *path, const text_buffer *text) {
    if (path == nullptr || text == nullptr || text->used < 0 ||
        (text->used > 0 && text->storage == nullptr))
        return -1;
    struct stat st;
    if (platform::lstat_file(path, &st) != 0) {
        if (errno != ENOENT ||
            authdb::create_file_securely(path, 2, "Create new file") != CFS_GOOD_RETURN ||
            platform::lstat_file(path, &st) != 0)
            return -1;
    }
    if (!S_ISREG(st.st_mode) || !fits_size_limit(text->used)) return -1;
    return replace_whole(path, st, *text) ? 0 : -1;
}

// Lines are carried whole, however long.
int copy_file(FILE *stream, text_buffer *text) {
    if (stream == nullptr || text == nullptr) return -1;
    char *line = nullptr;
    size_t size = 0;
    ssize_t length;
    int result = 0;
    while ((length = getline(&line, &size, stream)) >= 0) {
        if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
        if (add_to_buffer(line, text) != 0) {
            result = -1;
            break;
        }
    }
    if (result == 0 && (ferror(stream) || !feof(stream))) result = -1;
    free(line);
    return result;
}

}  // namespace vant::mirror
