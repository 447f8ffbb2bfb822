// A field's value in the forms people and scripts read and write: names,
// not bits; dates, not seconds since 1970.
#pragma once

#include <string>

#include "record_fields.h"

namespace vantdb {

// The value as text ("yes", "2024-05-01T12:00:00Z", "general,admin").
std::string format_value(const Field &f, const unsigned char *fields);
// The value as a JSON value (true, 7776000, "alice", ["audit","auth"]).
std::string json_value(const Field &f, const unsigned char *fields);
// Stores text into the field; false with the reason in `error`.
bool parse_value(const Field &f, const std::string &text, unsigned char *fields,
                 std::string &error);

// A JSON string literal.
std::string json_string(const std::string &text);

}  // namespace vantdb
