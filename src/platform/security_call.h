// Stand-in for the kernel's security system call.
//
// Linux has no such call; the facilities are served from what the kernel
// does have: the login uid from /proc/self/loginuid, terminal hang-up with
// TIOCVHANGUP, and privilege vectors kept per process by this layer. When the
// facility is missing (no login uid file), the call behaves as a kernel
// without it: SIGSYS is raised synchronously and -1 is returned (ENOSYS).
#pragma once

namespace vant::platform {

enum SecuritySubcode { kStopIo = 0, kGetLuid = 1, kSetLuid = 2, kStatPriv = 3, kChPriv = 4 };

// The call with its subcode first; the remaining arguments as the subcode
// defines them (see the exported wrappers).
long security_call(int subcode, long a1 = 0, long a2 = 0, long a3 = 0, long a4 = 0);

// Tests point the layer at another login uid file, or at a missing one to
// play a kernel without the facility.
void set_loginuid_file_for_tests(const char *path);

}  // namespace vant::platform
