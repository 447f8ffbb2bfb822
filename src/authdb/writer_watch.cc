#include "authdb/writer_watch.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/root.h"

namespace vant::authdb {
namespace {

// Looks after the first at which an unchanged file means a dead writer.
constexpr int kGiveUpAfter = 18;
constexpr long kLongestGrowingSleep = 1000;
constexpr long kSleepAfterLongest = 750;

bool same_time(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The random sequence starts from the process id, so that waiting
// processes do not sleep in step; it is seeded at the first pause, since
// most looks find no writer at all.
class WriterWatch {
  public:
    explicit WriterWatch(WaitPace pace) : pace_(pace) {}

    // The file itself is looked at, never what a link there points to;
    // false when it is gone, which also counts as unchanged.
    bool look(const char *path) {
        struct stat st;
        bool there = platform::lstat_file(path, &st) == 0;
        if (!there || same_time(st.st_mtim, last_)) {
            ++unchanged_;
            return there;
        }
        last_ = st.st_mtim;
        unchanged_ = 0;
        return true;
    }

    bool writer_dead() const { return unchanged_ >= kGiveUpAfter; }

    void pause() {
        if (!seeded_) seed();
        long step = pace_.least + nrand48(seed_) % pace_.spread;
        delay_ = pace_.grows ? delay_ + step : step;
        if (pace_.grows && delay_ > kLongestGrowingSleep) delay_ = kSleepAfterLongest;
        platform::nap(delay_);
    }

  private:
    void seed() {
        pid_t pid = getpid();
        seed_[0] = 0x330E;
        seed_[1] = static_cast<unsigned short>(pid);
        seed_[2] = static_cast<unsigned short>(pid >> 16);
        seeded_ = true;
    }

    WaitPace pace_;
    bool seeded_ = false;
    unsigned short seed_[3] = {};
    struct timespec last_ {};
    int unchanged_ = 0;
    long delay_ = 0;
};

int create_exclusively(const char *path) {
    return platform::open_file(path, O_CREAT | O_EXCL | O_RDONLY | O_NOFOLLOW, 0);
}

}  // namespace

bool outwait_writer(const char *path, WaitPace pace) {
    WriterWatch watch(pace);
    while (watch.look(path)) {
        watch.pause();
        if (watch.writer_dead()) return false;
    }
    return true;
}

int create_outwaiting(const char *path, bool wait) {
    WriterWatch watch(kGrowingPace);
    for (;;) {
        int fd = create_exclusively(path);
        if (fd >= 0 || !wait || errno != EEXIST) return fd;
        watch.look(path);
        watch.pause();
        if (watch.writer_dead()) {
            errno = EEXIST;
            return -1;
        }
    }
}

}  // namespace vant::authdb
