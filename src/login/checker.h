// The password-quality checker: a program the site names, kept running
// between proposals and asked about each one through pipes.
#pragma once

namespace vant::login {

// Prepares the checker for a kind of password (0 a user's, 1 dial-up,
// 2 file system, 3 group): 0, 18 when none could be started, -1 when
// memory is short.
int goodpw_set_checks(int kind, bool strict);
// Stops a running checker.
void stop_checker();
bool checker_running();
// The checker's verdict: 12 good, 13 rejected (a reason in `text` when it
// gave one), 18 when no checker runs or it failed, -1 for memory.
int run_goodpw(const char *password, const char *current, const char **text);
// Whether the built-in rules apply strictly when no checker runs.
bool strict_checks();

}  // namespace vant::login
