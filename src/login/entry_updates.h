// The login services' changes to the Protected Password and Terminal
// Control entries: each change is applied to the entry as it stands when
// it is written, with the read and the write serialised against every
// other writer, so that a lock set meanwhile or a count made by a parallel
// attempt is never undone.
#pragma once

#include <functional>

#include "vant.h"

namespace vant::login {

// Applies `change` to the user's current entry and writes it; false when
// the entry cannot be read or written. The changed entry is left in `after`
// when it is given.
bool update_user_entry(const char *name, const std::function<void(pr_passwd &)> &change,
                       pr_passwd *after = nullptr);

// The same for a terminal; a terminal without an entry starts from one
// whose only field is its name.
bool update_terminal_entry(const char *name, const std::function<void(pr_term &)> &change);

// Closes every database and the user and group files, so that a program
// about to run another leaves none of them open.
void close_databases();

}  // namespace vant::login
