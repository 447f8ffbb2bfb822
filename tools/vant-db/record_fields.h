// The fields of the user and terminal records as an administrator names
// them: their identifiers, presence bits, where they sit and what values
// they take.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "vant.h"

namespace vantdb {

enum class Kind : unsigned char {
    text,      // up to `max` characters
    number,    // an integer from `min` to `max`
    time,      // an instant, shown as a date
    duration,  // seconds, shown in the largest whole unit
    flag,      // yes or no
    names,     // a set of names from a name list
    user,      // a user id, shown as the user's name
};

// A name list and the highest value it may hold.
struct NameList {
    const char *what;  // for messages: "user type", "authorization"
    const struct namepair *(*table)();
    int (*highest)();
};

struct Field {
    const char *name;  // the authcap identifier
    uint32_t bit;      // the presence bit, as the PR_U_ and PR_T_ constants carry it
    Kind kind;
    size_t offset;
    size_t size;
    long long min, max;  // numbers; text: max is the longest value
    const NameList *names;
    bool settable;
};

// One half of a record: its fields and its presence words.
struct Half {
    unsigned char *fields;
    uint16_t *flags;

    bool has(const Field &f) const { return (flags[f.bit >> 16] & (f.bit & 0xFFFFu)) != 0; }
    void set(const Field &f) const { flags[f.bit >> 16] |= static_cast<uint16_t>(f.bit & 0xFFFFu); }
    void clear(const Field &f) const {
        flags[f.bit >> 16] &= static_cast<uint16_t>(~(f.bit & 0xFFFFu));
    }
};

inline Half half_of(struct pr_field &f, struct pr_flag &fl) {
    return {reinterpret_cast<unsigned char *>(&f), fl.words};
}
inline Half half_of(struct t_field &f, struct t_flag &fl) {
    return {reinterpret_cast<unsigned char *>(&f), &fl.word};
}

struct FieldTable {
    const Field *begin_;
    const Field *end_;
    const Field *begin() const { return begin_; }
    const Field *end() const { return end_; }
    const Field *find(const char *name) const;
};

extern const FieldTable kUserFields;
extern const FieldTable kTerminalFields;

}  // namespace vantdb
