// Internal side of secure file creation: the texts of its results.
#pragma once

namespace vant::authdb {

// A result of secure creation and its built-in English text.
struct CfsText {
    const char *text;
    int code;
};

// The results in code order, ended by a null text; cfs_str_table_mc holds
// the catalog number of each row, the ending row's being the number of the
// text for any unknown code.
extern const CfsText cfs_str_table[];
extern const int cfs_str_table_mc[];

}  // namespace vant::authdb
