// Waiting for a competing writer: between randomised, growing sleeps, the
// writer's transition file is looked at, and its changing modification time
// shows that the writer is alive. Whoever waits on a "-t" file uses this.
#pragma once

#include <sys/types.h>
#include <time.h>

namespace vant::authdb {

class WriterWatch {
  public:
    // Checks of an unchanged file after which its writer is taken for dead.
    static constexpr int kGiveUpAfter = 18;

    WriterWatch();

    // Consecutive looks that found the file unchanged or gone.
    int unchanged() const { return unchanged_; }
    bool writer_dead() const { return unchanged_ >= kGiveUpAfter; }

    void look(const char *path);
    // Sleeps 50 to 249 milliseconds longer than last time; past a second,
    // 750.
    void pause();

  private:
    unsigned short seed_[3];
    struct timespec last_ {};
    int unchanged_ = 0;
    long delay_ = 0;
};

}  // namespace vant::authdb
