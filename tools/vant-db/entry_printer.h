// Prints one entry as rows of name and value, as text or as one JSON
// object whose members are {"value": ..., "default": true|false}.
#pragma once

#include <string>
#include <vector>

#include "record_fields.h"

namespace vantdb {

class EntryPrinter {
  public:
    explicit EntryPrinter(bool json) : json_(json) {}
    // A row; from_default marks a value taken from the system defaults.
    void row(const std::string &name, const std::string &text, const std::string &json_value,
             bool from_default = false);
    // Every field present in the entry or in its defaults.
    void fields(const FieldTable &table, const Half &own, const Half *defaults);
    // Prints the rows.
    void finish() const;

  private:
    bool json_;
    std::string out_;
};

// Prints names one a line, or as a JSON array.
void print_names(const std::vector<std::string> &names, bool json);

}  // namespace vantdb
