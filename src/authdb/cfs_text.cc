// The texts of the results of secure file creation.
#include "authdb/authdb.h"
#include "authdb/secure_files.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::authdb {

const CfsText cfs_str_table[] = {
    {"Successfully and securely created file", CFS_GOOD_RETURN},
    {"Cannot securely create new file", CFS_CAN_NOT_OPEN_FILE},
    {"File not listed in File Control database", CFS_NO_FILE_CONTROL_ENTRY},
    {"Cannot change mode on newly created file", CFS_CAN_NOT_CHG_MODE},
    {"Cannot set owner of newly created file", CFS_CAN_NOT_CHG_OWNER_GROUP},
    {nullptr, 0},
};
const int cfs_str_table_mc[] = {9, 10, 11, 12, 13, 14};

namespace {

constexpr const char *kUnknownText = "unknown problem with secure file creation";

// The row of a code, or the ending row for a code the table lacks.
int row_of(int code) {
    int i = 0;
    while (cfs_str_table[i].text != nullptr && cfs_str_table[i].code != code)
        ++i;
    return i;
}

const char *english_text(int row) {
    return cfs_str_table[row].text != nullptr ? cfs_str_table[row].text : kUnknownText;
}

}  // namespace
}  // namespace vant::authdb

namespace vant::authdb {

const char *cfs_to_english_string(int code) {
    return english_text(row_of(code));
}

const char *cfs_to_string(int code) {
    int row = row_of(code);
    return frame::intl_msg(cfs_str_table_mc[row], english_text(row));
}

}  // namespace vant::authdb
