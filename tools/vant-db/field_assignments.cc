// Applying FIELD=VALUE operands.
#include "field_assignments.h"

#include <string.h>

#include <vector>

#include "field_values.h"

namespace vantdb {
namespace {

bool apply_one(const FieldTable &table, Half own, const std::string &assignment,
               std::string &error) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        error = "\"" + assignment + "\" is not FIELD=VALUE";
        return false;
    }
    std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1);
    const Field *f = table.find(name.c_str());
    if (f == nullptr || !f->settable) {
        error = "no settable field \"" + name + "\"";
        return false;
    }
    if (value.empty()) {
        own.clear(*f);
        return true;
    }
    if (!parse_value(*f, value, own.fields, error)) {
        error = name + ": \"" + value + "\" " + error;
        return false;
    }
    own.set(*f);
    return true;
}

}  // namespace

bool apply_assignments(const FieldTable &table, Half own,
                       const std::vector<std::string> &assignments, std::string &error) {
    for (const std::string &a : assignments)
        if (!apply_one(table, own, a, error)) return false;
    return true;
}

void set_field(const FieldTable &table, Half own, const char *name, const char *value) {
    std::string ignored;
    apply_one(table, own, std::string(name) + "=" + value, ignored);
}

}  // namespace vantdb
