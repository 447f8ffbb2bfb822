// Waiting for a competing writer. A writer's transition file ("-t") standing
// at a path means it is at work; its changing modification time shows that
// it is alive. Whoever waits on such a file, reader or writer, waits here.
#pragma once

namespace vant::authdb {

// How long a waiter sleeps between two looks at the writer's file.
struct WaitPace {
    long least;   // milliseconds
    long spread;  // a random 0 to spread - 1 milliseconds more
    bool grows;   // each sleep adds to the last; past a second it drops to 750
};

// Writers waiting for a name, and readers of the databases.
inline constexpr WaitPace kGrowingPace{50, 200, true};
// Readers of the conventional files, so that they do not look in step.
inline constexpr WaitPace kScatteredPace{200, 1500, false};

// Waits while a writer's file stands at `path` and keeps changing: true
// once it is gone; false once the writer is taken for dead, the file having
// stayed unchanged through 18 looks after the first (19 sleeps).
bool outwait_writer(const char *path, WaitPace pace = kGrowingPace);

// Creates `path` exclusively, with no permissions, never through a link
// planted there. With `wait`, a writer holding the name is outwaited as
// above; any other failure (a missing directory) is final at once. The
// new file's descriptor, or -1 with errno set.
int create_outwaiting(const char *path, bool wait);

}  // namespace vant::authdb
