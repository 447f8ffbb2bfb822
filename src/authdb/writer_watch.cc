#include "authdb/writer_watch.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::authdb {
namespace {

bool same_time(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

WriterWatch::WriterWatch() {
    pid_t pid = getpid();
    seed_[0] = 0x330E;
    seed_[1] = static_cast<unsigned short>(pid);
    seed_[2] = static_cast<unsigned short>(pid >> 16);
}

// The file itself is looked at, never what a link there points to.
void WriterWatch::look(const char *path) {
    struct stat st;
    if (platform::lstat_file(path, &st) != 0 || same_time(st.st_mtim, last_)) {
        ++unchanged_;
        return;
    }
    last_ = st.st_mtim;
    unchanged_ = 0;
}

void WriterWatch::pause() {
    delay_ += 50 + nrand48(seed_) % 200;
    if (delay_ > 1000) delay_ = 750;
    platform::nap(delay_);
}

}  // namespace vant::authdb
