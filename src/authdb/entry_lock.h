// Serialises the read-modify-write of a database entry between processes.
//
// Writers replace a database by renaming a new file into place, so a lock
// on the file itself would be a lock on a file that no longer has the
// name. The lock is taken on the directory that holds the database
// instead. Within one process the lock is counted, so a writer may take it
// again while its caller holds it (an update that reads, changes and writes
// an entry calls the writer inside its own lock).
#pragma once

#include <string>

namespace vant::authdb {

class EntryLock {
  public:
    // Locks the directory of the logical path `database`; waits for other
    // processes that hold it.
    explicit EntryLock(const char *database);
    // Locks the database that holds the named entry of that kind.
    EntryLock(const char *name, int object);
    ~EntryLock();
    EntryLock(const EntryLock &) = delete;
    EntryLock &operator=(const EntryLock &) = delete;

    // False when the directory could not be opened or locked; the caller
    // goes on unserialised, as before locks were taken.
    bool held() const { return held_; }

  private:
    void take();

    std::string directory_;
    bool held_ = false;
};

}  // namespace vant::authdb
