// Internal side of the System Default database: the switch that keeps the
// /etc/default values out of reads, the merge of those values into the
// entry just read, and the writer of one entry.
#pragma once

#include <stdio.h>

#include "vant.h"

namespace vant::databases {

inline constexpr const char *kDefaultEntry = "default";

// Whether reads leave the /etc/default values out.
int ignore_etc();
void set_ignore_etc(int value);

// How the last getprdfent ended its read.
enum class ReadEnd {
    entry,    // an entry was decoded
    end,      // the database (or the built-in entry) has no more
    damaged,  // an entry could not be read or decoded
};
ReadEnd last_read_end();

// Whether the record names the entry `name`, over at most 20 characters.
bool names_entry(const struct pr_default *record, const char *name);

// Completes a read: merges the /etc/default values into an entry named
// "default", or synthesizes one at the end of a pass when the /etc files
// are authoritative. The record, or null when there is nothing to return.
struct pr_default *merge_etc_default(struct pr_default *record, bool read);

// Allocates the record that reads fill, once: 0, or -1 (reported, and the
// pass ended) when there is no memory for it.
int allocate_default_record();
// Reads `path` from its start in place of the database, as a new pass;
// 0, or -1 when the record cannot be allocated.
int reset_default(const char *path);

// Writes one entry; 1, or 0 when a write failed.
int store_df_fields(FILE *stream, const char *name, struct pr_default *record);

}  // namespace vant::databases
