// The one place where logical paths meet the host's file system.
//
// Everything above this layer names files by their logical path
// ("/etc/auth/system/pw_id_map"). When VANT_ROOT is set and the process is not
// set-id, each logical path is taken under that directory; a few host
// facilities (/dev/null, /dev/tty, /bin/sh, /proc) are never redirected.
#pragma once

#include <dirent.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace vant::platform {

// The root directory in force ("" when none); decided once per process.
const std::string &root();

// The host path of a logical path. Relative paths are left alone.
std::string host_path(const char *logical);

// Whether a name taken from data (a user or group name) stands for one file
// in its directory, and not for the directory itself, its parent or a path.
bool is_file_name(const char *name);

int open_file(const char *path, int flags, mode_t mode = 0);
// The one open whose descriptor survives exec: for handing a file to a
// program the library runs.
int open_file_inherited(const char *path, int flags);
// Like fopen, but the stream is always close-on-exec.
FILE *fopen_file(const char *path, const char *mode);
int stat_file(const char *path, struct stat *st);
int lstat_file(const char *path, struct stat *st);
// Whose ids decide the access: the real ones, as access() does, or the
// effective ones that an open would use.
enum AccessIds { kRealIds, kEffectiveIds };
int access_file(const char *path, int how, AccessIds ids = kRealIds);
int unlink_file(const char *path);
int rename_file(const char *from, const char *to);
int link_file(const char *from, const char *to);
int chmod_file(const char *path, mode_t mode);
int chown_file(const char *path, uid_t owner, gid_t group);
int set_file_times(const char *path, time_t atime, time_t mtime);
int make_directory(const char *path, mode_t mode);
// Flushes a file or a directory to disk (fsync); 0, or -1 with errno.
int sync_file(const char *path);
// Flushes the directory that holds `path`, so that a rename into it
// survives a crash.
int sync_directory_of(const char *path);
int change_directory(const char *path);
DIR *open_directory(const char *path);
// Executes a logical program path with `envp` as its environment, or the
// caller's when null; returns only on failure.
int exec_program(const char *path, char *const argv[], char *const envp[] = nullptr);

}  // namespace vant::platform
