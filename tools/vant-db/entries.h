// Reading and writing the entries vant-db works on, through the library's
// readers and writers, with the one-line messages their failures give.
#pragma once

#include <string>
#include <vector>

#include "vant.h"

namespace vantdb {

// False, with the reason, for a name no entry may have.
bool valid_name(const std::string &name, size_t longest, std::string &error);

// The user's entry as stored, whatever the /etc files say; false (and a
// message printed) when there is none.
bool read_user(const std::string &name, struct pr_passwd &record);
// Writes the record's own half; kOk, or kFailed with a message.
int write_user(const std::string &name, struct pr_passwd &record);

bool read_terminal(const std::string &name, struct pr_term &record);
int write_terminal(const std::string &name, struct pr_term &record);

// The authorizations the user holds, primary and secondary, in declaration order.
std::vector<std::string> held_authorizations(const std::string &user);

}  // namespace vantdb
