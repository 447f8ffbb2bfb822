// Fault injection at the system-call boundary, for a forked child: the
// named calls fail, kill the process, or are trapped and reported. Each
// function installs a filter for the rest of the process's life and returns
// false when filters are not available here (the test should then skip).
#pragma once

#include <initializer_list>

namespace vant::test {

bool fail_syscalls(std::initializer_list<long> calls, int error);
bool forbid_syscalls(std::initializer_list<long> calls);
// A trapped call is not made: `on_trap` is told its number and first
// argument (from the signal handler) and the call returns 0.
bool trap_syscalls(std::initializer_list<long> calls, void (*on_trap)(long call, long arg0));

// The calls by which a file's mode, owner or contents reach the disk.
#define VANT_CHMOD_CALLS SYS_chmod, SYS_fchmod, SYS_fchmodat
#define VANT_CHOWN_CALLS SYS_chown, SYS_fchown, SYS_lchown, SYS_fchownat
#define VANT_SYNC_CALLS SYS_sync, SYS_syncfs
#define VANT_FSYNC_CALLS SYS_fsync, SYS_fdatasync

}  // namespace vant::test
