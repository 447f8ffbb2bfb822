// Name lists as bit masks and back, and how a boolean is written.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string_view>

#include "authdb/authdb.h"
#include "authdb/namelists.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

constexpr unsigned kWordBits = 32;

// The first value of `table` that `name` has and that is not above
// `highest`; false when no pair qualifies. A null table has no pairs; a
// negative highest admits no value.
bool value_of(std::string_view name, int highest, const struct namepair *table, unsigned &value) {
    if (table == nullptr || highest < 0) return false;
    for (const struct namepair *p = table; p->name != nullptr; ++p) {
        if (p->value <= static_cast<unsigned>(highest) && name == p->name) {
            value = p->value;
            return true;
        }
    }
    return false;
}

// The name of the first pair of `table` with `value`, or null.
const char *name_of(unsigned value, const struct namepair *table) {
    if (table == nullptr) return nullptr;
    for (const struct namepair *p = table; p->name != nullptr; ++p)
        if (p->value == value) return p->name;
    return nullptr;
}

bool bit_set(const unsigned int *mask, unsigned value) {
    return (mask[value / kWordBits] >> (value % kWordBits) & 1u) != 0;
}

// Reports `name`, which ends at `end` (a comma or the text's NUL): the
// comma is replaced by a NUL while the report is made and put back.
void report_unknown(char *name, char *end) {
    char saved = *end;
    *end = '\0';
    vant::frame::audit_auth_entry(name, vant::authdb::kNameListObject,
                                  "not a recognized name for the list");
    *end = saved;
}

void report_nameless(unsigned value, const char *description) {
    char text[256];
    snprintf(text, sizeof text, "internal offset %ld of %s", static_cast<long>(value),
             description != nullptr ? description : "");
    vant::frame::audit_auth_entry(text, vant::authdb::kNameListObject,
                                  "value has no corresponding name");
}

}  // namespace

namespace vant::authdb {

void loadnamepair(unsigned int *mask, int highest, char *text, const struct namepair *table,
                  const char *description) {
    (void)description;
    if (mask == nullptr) return;
    for (int word = 0; word <= highest / static_cast<int>(kWordBits); ++word)
        mask[word] = 0;
    if (text == nullptr) return;

    // Names one by one; the list ends at the text's end or at a comma with
    // nothing after it. An empty name between two commas is examined (and
    // reported) like any other.
    char *name = text;
    while (*name != '\0') {
        char *end = name + strcspn(name, ",");
        unsigned value = 0;
        if (value_of(std::string_view(name, static_cast<size_t>(end - name)), highest, table,
                     value))
            mask[value / kWordBits] |= 1u << (value % kWordBits);
        else
            report_unknown(name, end);
        if (*end == '\0') break;
        name = end + 1;
    }
}

char *storenamepair(const unsigned int *mask, int highest, const struct namepair *table,
                    const char *description) {
    size_t size = 4;
    char *text = static_cast<char *>(malloc(size));
    if (text == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    text[0] = '\0';
    if (mask == nullptr) return text;

    size_t length = 0;
    for (long v = 0; v <= highest; ++v) {
        unsigned value = static_cast<unsigned>(v);
        if (!bit_set(mask, value)) continue;
        const char *name = name_of(value, table);
        if (name == nullptr) {
            report_nameless(value, description);
            continue;
        }
        size_t name_length = strlen(name);
        size += name_length + 4;
        char *grown = static_cast<char *>(realloc(text, size));
        if (grown == nullptr) {
            free(text);
            frame::audit_no_memory();
            return nullptr;
        }
        text = grown;
        if (length > 0) text[length++] = ',';
        memcpy(text + length, name, name_length + 1);
        length += name_length;
    }
    return text;
}

const char *storebool(int value) {
    return value != 0 ? "" : "@";
}

}  // namespace vant::authdb
