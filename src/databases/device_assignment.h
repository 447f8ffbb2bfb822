// Internal side of the Device Assignment database: the entry codec and the
// ownership of the lists that decoding allocates.
#pragma once

#include <stdio.h>

#include "vant.h"

namespace vant::databases {

// The field identifiers in decoding order; index i of the table is the
// `index` that parse_dv_field takes.
inline constexpr const char *dev_table[] = {"v_devs", "v_type", "v_users"};
inline constexpr int kDeviceFields = 3;

// Decodes one entry text, which is modified in place (the name and the list
// items point into it): 0, or 1 for a malformed entry. The fields are
// cleared first: lists they held must have been released.
int read_dv_fields(struct v_field *fields, struct v_flag *flags, char *entry);
// Decodes field `index`, `text` pointing at its separator: 0, or 1.
int parse_dv_field(char *text, int index, struct v_field *fields, struct v_flag *flags);
// Writes one entry under `name` (or only its fields when `name` is null):
// 1, or 0 when a write failed or a field cannot be written.
int store_dv_fields(FILE *stream, const char *name, const struct v_field *fields,
                    const struct v_flag *flags);
// 0 when the text of `line` before its first ":" is `name`, else 1.
int match_name_buf(const char *name, const char *line);

// Frees the list arrays that decoding allocated, and forgets them.
void release_dv_lists(struct v_field *fields);

}  // namespace vant::databases
