// Finding key lines of the conventional line files, and the text buffers
// in which a rewritten file is assembled.
#pragma once

#include <stdint.h>
#include <stdio.h>

namespace vant::mirror {

// A whole file's text: lines each ended by "\n", no NUL counted.
struct text_buffer {
    char *storage;
    int32_t capacity;
    int32_t used;
};

// The library's open /etc/passwd stream, when it has one; searches of it
// honour the host's NIS escapes.
extern FILE *passwd_fp;

// The line that the last search found (newline removed), or null.
char *found_line();

int find_any_line(const char *const *names, char sep, FILE *stream, text_buffer *keep, int wrap);
int find_line(const char *name, char sep, FILE *stream, text_buffer *keep);
// find_line(name, ':', stream, nullptr) for a user's line of /etc/passwd
// or /etc/shadow open as `stream` from the logical `path`: the same answer,
// and the stream left at the same place, through the file's name index when
// that can tell for certain.
int find_user_line(const char *name, FILE *stream, const char *path);
int match_line(const char *name, const char *line, char sep);
char *skipfield(char *field, char sep);
void free_userbuf();

char *get_buffer(size_t size);
int grow_buffer(text_buffer *buf);
int add_to_buffer(const char *line, text_buffer *buf);
void free_buffer(text_buffer *buf);

}  // namespace vant::mirror
