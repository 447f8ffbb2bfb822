// Internal side of the File Control database: the entry codec and the
// built-in table served when the site runs without the protected files.
#pragma once

#include <stdio.h>

#include "vant.h"

namespace vant::databases {

// The field identifiers in decoding order; index i of the table is the
// `index` that parse_fi_field takes.
inline constexpr const char *file_table[] = {"f_owner", "f_group", "f_mode",  "f_type",
                                             "f_size",  "f_mtime", "f_ctime", "f_cksum"};
inline constexpr int kFileFields = 8;

// Decodes one entry text, which is modified in place (the name points into
// it): 0, or 1 for a malformed entry.
int read_fi_fields(struct f_field *fields, struct f_flag *flags, char *entry);
// Decodes field `index`, `text` pointing at its separator: 0, or 1.
int parse_fi_field(const char *text, int index, struct f_field *fields, struct f_flag *flags);
// Writes one entry under `name`: 1, or 0 when a write failed or an owner or
// group has no name.
int store_fi_fields(FILE *stream, const char *name, const struct f_field *fields,
                    const struct f_flag *flags);

// Complete single-line entries, ended by a null pointer. No name stands
// behind a pattern that covers it, since the first match wins.
extern const char *const fakefcdb[];

}  // namespace vant::databases
