// FIELD=VALUE operands applied to one half of a record.
#pragma once

#include <string>
#include <vector>

#include "record_fields.h"

namespace vantdb {

// Applies every assignment, or none: false with the reason when one is
// not a settable field or its value does not parse. An empty value unsets
// the field.
bool apply_assignments(const FieldTable &table, Half own,
                       const std::vector<std::string> &assignments, std::string &error);

// Sets a number-like field to a value given as text that cannot fail to parse.
void set_field(const FieldTable &table, Half own, const char *name, const char *value);

}  // namespace vantdb
