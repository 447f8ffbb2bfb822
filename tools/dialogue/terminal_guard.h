/* Puts the terminal's modes back when the program is interrupted, hung up
 * or terminated, so that a signal during a password prompt never leaves
 * echo off. */
#ifndef VANT_DIALOGUE_TERMINAL_GUARD_H
#define VANT_DIALOGUE_TERMINAL_GUARD_H

/* Remembers the controlling terminal's modes as they are now and ends the
 * program (status 128 + signal) after restoring them. Without a terminal,
 * the signals keep their usual effect. */
void guard_terminal(void);

#endif
