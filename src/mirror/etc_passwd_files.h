// Mirroring the Protected Password data into /etc/passwd and /etc/shadow:
// the settings that decide it, reading a user's lines into the /etc view,
// reconciling the two views, and rewriting the files under their locks.
#pragma once

#include <stdio.h>

#include "authdb/update.h"
#include "mirror/line_finder.h"
#include "vant.h"

namespace vant::mirror {

// --- settings
// 1 when the System Default fields switch mirroring on; integrity and
// authority are always set (0 and 1 when mirroring is off).
int evaluate_mirroring_fields(int *integrity, int *authority, const struct pr_field *fields,
                              const struct pr_flag *flags);
int round_to_weeks(int seconds);
int round_to_days(int seconds);
int pre_v3_passwd();

// --- reading
extern FILE *shadow_fp;
extern int shadow_exists;
int open_pw_files();
void close_pw_files();
// 1 opened, 0 cannot be opened, -1 stayed locked by a writer.
int open_file(const char *path, FILE **stream);
// -1 no line, 0 line from the file, 1 line from NIS.
int get_pw_fields(const char *name, struct pr_field *fields, struct pr_flag *flags);
int validate_passwd_fields(int integrity, int authority, struct pr_field *prot_fields,
                           struct pr_flag *prot_flags, const struct pr_field *etc_fields,
                           const struct pr_flag *etc_flags);
// Sets in `differing` the bit of every field on which the two views break
// the integrity rule; neither view changes.
void passwd_differences(const struct pr_field *prot_fields, const struct pr_flag *prot_flags,
                        const struct pr_field *etc_fields, const struct pr_flag *etc_flags,
                        struct pr_flag *differing);
// Newly allocated; null for a null or empty directory.
char *lastlogin_path(const char *dir);

// --- writing
int lock_pw_files();
int put_pw_fields(const char *name, const struct pr_field *fields, const struct pr_flag *flags);
int replace_pw_files(const struct pr_field *fields, const struct pr_flag *flags);
void unlock_pw_files();
// Names the lock file of `path` in `lock` and creates it, outwaiting a live
// holder; false (reported) when it could not be created.
bool create_lock_file(const char *path, authdb::TransitionFile &lock);
int create_file_exclusively(const char *path);
// Replaces the file whole (new file beside it, synced, renamed into
// place); its owner, group and mode are kept. A missing file is first
// created as its File Control entry says.
int write_to_file(const char *path, const text_buffer *text);
int copy_file(FILE *stream, text_buffer *text);
void audit_failure(const char *name);

// --- the last-login marker in the home directory
// Sets u_suclog from the marker in `home` when the record has u_id and the
// marker is the user's own.
void get_slogin(const char *home, struct pr_field *fields, struct pr_flag *flags);
// Renews the marker of the user whose /etc/passwd line (before the update)
// is `old_line`; only a process with effective user id 0 does.
void put_slogin(const char *old_line, const struct pr_field *fields, const struct pr_flag *flags);

// --- the platform's password-file lock, held around a rewrite
bool lock_password_database();
void unlock_password_database();

}  // namespace vant::mirror
