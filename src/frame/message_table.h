// Every message the library reports: its number in set 1 of the catalog,
// the variable that holds its text, and the built-in text.
// clang-format off
#pragma once

#define VANT_MESSAGE_TABLE(X) \
    X(1, vant_palindrome, "Password must not be a palindrome") \
    X(2, vant_pwlogin, "Password is (or looks too much like) a login name to be a password") \
    X(3, vant_pwgroup, "Password is (or looks too much like) a group name to be a password") \
    X(4, vant_spelling, "Password must not be a correctly spelt word") \
    X(5, vant_memory, "memory") \
    X(6, vant_badalloc, "no more is available") \
    X(7, vant_nomemory, "memory allocation failed") \
    X(8, vant_badexec, "could not execute") \
    X(9, vant_goodreturn, "successfully and securely created file") \
    X(10, vant_cannotopenfile, "could not create file securely") \
    X(11, vant_nofilecontrolentry, "file not listed in File Control database") \
    X(12, vant_cannotchgmode, "cannot change mode on newly created file") \
    X(13, vant_cannotchgownergroup, "cannot set owner of newly created file") \
    X(14, vant_unknown, "unknown problem with secure file creation") \
    X(15, vant_defaultsdb, "System Defaults database") \
    X(16, vant_badread, "cannot be read") \
    X(17, vant_fcdberror, "File Control database inconsistency") \
    X(18, vant_noresource, "resource: %s could not be allocated due to: %s") \
    X(19, vant_baduidreset, "cannot reset real uid") \
    X(20, vant_badgidreset, "cannot reset real gid") \
    X(21, vant_signalstates, "unbalanced enter_quiet_zone()/exit_quiet_zone calls") \
    X(22, vant_signalrestore, "restoration failed") \
    X(23, vant_badkernel, "booted kernel does not support security system call") \
    X(24, vant_badargs, "process was started without mandatory first argument") \
    X(25, vant_authparms, "set_auth_parameters(S) has not been called, see identity(S)") \
    X(26, vant_badopen, "cannot open") \
    X(27, vant_toomanysubsys, "too many subsystem authorizations declared") \
    X(28, vant_missingcolon, "required colon is missing") \
    X(29, vant_badstdout, "cannot reopen standard out") \
    X(30, vant_badstderr, "cannot reopen standard error") \
    X(31, vant_badstdin, "cannot open standard in") \
    X(32, vant_authblankline, "Blank line in /etc/auth/system/authorize") \
    X(33, vant_authnolinefeed, "Missing linefeed in /etc/auth/system/authorize") \
    X(34, smpm_notcdb, "Cannot access terminal control database entry") \
    X(35, smpm_dbcorrupt, "Security database corrupt") \
    X(36, smpm_notprpw, "Missing target protected password information") \
    X(37, smpm_nosprpw, "Missing subject protected password information") \
    X(38, smpm_acctlk, "Account locked") \
    X(39, smpm_termlk, "Terminal locked") \
    X(40, smpm_retired, "Account retired") \
    X(41, smpm_console, "Not on system console") \
    X(42, smpm_nosetpw, "User cannot set passwords") \
    X(43, smpm_circular, "Cannot be circular shift of login name") \
    X(44, smpm_badchars, "Must contain at least two alphabetic and one numeric or special characters") \
    X(45, smpm_3diff, "Passwords must differ by at least 3 positions") \
    X(46, smpm_gpwrej, "Rejected by goodpw checks") \
    X(47, smpm_reuse, "You may not re-use the same password") \
    X(48, smpm_shortn, "Too short (must be at least %d characters)") \
    X(49, smpm_short, "Too short") \
    X(50, smpm_easygs, "Password is too easy to guess") \
    X(51, smpm_nonull, "You are not permitted to set a null password") \
    X(52, smpm_nisfail, "NIS password change failed") \
    X(53, smpm_nowprpw, "Cannot write protected password entry") \
    X(54, smpm_norrprpw, "Cannot reread protected password entry") \
    X(55, smpm_norrtcdb, "Cannot reread terminal control entry") \
    X(56, smpm_norwtcdb, "Cannot rewrite terminal control entry") \
    X(57, smpm_norwprpw, "Cannot rewrite protected password entry") \
    X(58, smpm_nochdir, "Cannot change to home directory") \
    X(59, smpm_noulimit, "Could not set default ULIMIT") \
    X(60, smpm_badsupg, "Bad supplemental group list") \
    X(61, smpm_badluid, "Bad login user id") \
    X(62, smpm_badgid, "Bad group id") \
    X(63, smpm_baduid, "Bad user id") \
    X(64, smpm_nokauth, "Unable to set kernel authorizations") \
    X(65, smpm_noauthfile, "Can't parse /etc/auth/system/authorize") \
    X(66, smpm_noauth, "Can't find auth in /etc/auth/system/authorize") \
    X(67, smpm_never, "NEVER") \
    X(68, smpm_lsp1, "Last successful password change for %s: %s") \
    X(69, smpm_lup1, "Last unsuccessful password change for %s: %s") \
    X(70, smpm_lsl1, "Last successful login for %s: %s on %s") \
    X(71, smpm_lsl2, "Last successful login for %s: %s") \
    X(72, smpm_lul1, "Last unsuccessful login for %s: %s on %s") \
    X(73, smpm_lul2, "Last unsuccessful login for %s: %s") \
    X(74, smpm_lul3, "%4d unsuccessful logins for %s: %s on %s") \
    X(75, smpm_lul4, "%4d unsuccessful logins for %s: %s") \
    X(76, smpm_lul5, " 1 unsuccessful login for %s: %s on %s") \
    X(77, smpm_lul6, " 1 unsuccessful login for %s: %s") \
    X(78, smpm_cantfork, "Unable to fork a new process") \
    X(79, smpm_lostchl, "Lost a forked child process") \
    X(80, smpm_initcond1, "%s exit status 0x%x") \
    X(81, smpm_initcond2, "Could not execute %s (errno %d)")
// clang-format on
