// Internal side of the authcap reader: the current entry and the helpers
// that the database decoders share.
#pragma once

#include <stddef.h>
#include <stdio.h>

namespace vant::authdb {

// The entry most recently read by any entry reader; the field getters work
// on it. Null before the first read and after its buffer was released.
char *current_entry();
// Makes `entry` the one the field getters work on.
void set_current_entry(char *entry);

// The start of the field after the one `field` stands in.
char *askip(char *field);
// Decodes a string value up to its first unescaped ":" into the `size`
// bytes at *area, cut to fit them with its NUL; returns the copy and
// advances *area past the NUL. Null, and nothing written, when `size` is 0.
char *adecode(const char *text, char **area, size_t size);
// Decodes a number: optional "-", then "0x" hexadecimal, "0" octal, else
// decimal.
long adecodenum(const char *text);
// Whether an alternative of the current entry's name field equals `name`.
int match_name(const char *name);
// Whether an alternative of `entry`'s name field, as a pattern, matches `path`.
int match_file(const char *path, const char *entry);

}  // namespace vant::authdb
