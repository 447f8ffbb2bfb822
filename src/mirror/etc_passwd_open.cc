// Opening /etc/passwd and /etc/shadow for a run of lookups, once no writer
// holds their lock files.
#include <sys/stat.h>

#include <initializer_list>

#include "authdb/authdb.h"
#include "authdb/writer_watch.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/etc_passwd_format.h"
#include "mirror/mirror.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::mirror {

FILE *shadow_fp = nullptr;

namespace {

// Writers replace these files by renaming a new one into place, so a
// stream kept open from an earlier lookup may be reading a file that no
// longer has the name; it is then closed, to be opened afresh.
void forget_if_replaced(FILE *&stream, const char *path) {
    if (stream == nullptr) return;
    struct stat open, named;
    if (fstat(fileno(stream), &open) == 0 && platform::stat_file(path, &named) == 0 &&
        open.st_dev == named.st_dev && open.st_ino == named.st_ino)
        return;
    fclose(stream);
    stream = nullptr;
}

}  // namespace

int open_file(const char *path, FILE **stream) {
    if (stream != nullptr) *stream = nullptr;
    if (path == nullptr || stream == nullptr) return 0;
    if (mirror::get_open_lock() == OPEN_WAIT_FOR_LOCK) {
        auto names = authdb::make_transition_files(path);
        if (!names) return 0;
        if (!authdb::outwait_writer(names->new_name.get(), authdb::kScatteredPace)) return -1;
    }
    *stream = platform::fopen_file(path, "r");
    return *stream != nullptr ? 1 : 0;
}

int open_pw_files() {
    forget_if_replaced(passwd_fp, kPasswdPath);
    forget_if_replaced(shadow_fp, kShadowPath);
    if (passwd_fp == nullptr && open_file(kPasswdPath, &passwd_fp) != 1 &&
        mirror::get_override_mode() == OVERRIDE_ETC_FILES)
        return -1;
    if (shadow_fp == nullptr) open_file(kShadowPath, &shadow_fp);
    return 0;
}

void close_pw_files() {
    for (FILE **stream : {&passwd_fp, &shadow_fp}) {
        if (*stream != nullptr) fclose(*stream);
        *stream = nullptr;
    }
}

}  // namespace vant::mirror
