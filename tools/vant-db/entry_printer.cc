// Text and JSON forms of entries and name lists.
#include "entry_printer.h"

#include <stdio.h>

#include <vector>

#include "field_values.h"

namespace vantdb {

void EntryPrinter::row(const std::string &name, const std::string &text,
                       const std::string &json_value, bool from_default) {
    if (json_) {
        out_ += (out_.empty() ? "{" : ",") + json_string(name) + ":{\"value\":" + json_value +
                ",\"default\":" + (from_default ? "true" : "false") + "}";
        return;
    }
    char line[64];
    snprintf(line, sizeof line, "%-18s ", name.c_str());
    out_ += line + text + (from_default ? "   (system default)" : "") + "\n";
}

void EntryPrinter::fields(const FieldTable &table, const Half &own, const Half *defaults) {
    for (const Field &f : table) {
        if (own.has(f))
            row(f.name, format_value(f, own.fields), json_value(f, own.fields));
        else if (defaults != nullptr && defaults->has(f))
            row(f.name, format_value(f, defaults->fields), json_value(f, defaults->fields), true);
    }
}

void EntryPrinter::finish() const {
    if (json_)
        printf("%s}\n", out_.empty() ? "{" : out_.c_str());
    else
        fputs(out_.c_str(), stdout);
}

void print_names(const std::vector<std::string> &names, bool json) {
    if (!json) {
        for (const std::string &n : names)
            printf("%s\n", n.c_str());
        return;
    }
    std::string list = "[";
    for (const std::string &n : names)
        list += (list.size() > 1 ? "," : "") + json_string(n);
    printf("%s]\n", list.c_str());
}

}  // namespace vantdb
