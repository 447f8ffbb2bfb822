// Internal side of audit delivery: what the two roads to the audit subsystem
// (the audit device and the delivery program) share.
#pragma once

#include <stddef.h>

#include <limits>

#include "vant.h"

namespace vant::frame {

inline constexpr const char *kDeliveryProgram = "/etc/auth/dlvr_audit";

// Event types (values of the audit_mask name list).
inline constexpr int kEventLogin = 2;
inline constexpr int kEventSysadm = 12;
inline constexpr int kEventDatabase = 18;
inline constexpr int kEventSubsystem = 19;

// Record types.
inline constexpr int kRecordLogin = 20;
inline constexpr int kRecordPasswd = 21;
inline constexpr int kRecordLock = 22;
inline constexpr int kRecordAudit = 24;
inline constexpr int kRecordFailure = 25;
inline constexpr int kRecordSubsystem = 26;

// The delivery program's vector: base arguments 0 to 8, then at most five
// of the record's own (the failure record of a security failure), then null.
inline constexpr int kBaseArgs = 9;
inline constexpr int kArgCommand = 5;
inline constexpr int kMaxArgs = kBaseArgs + 5 + 1;

// Room for any unsigned long in decimal with its NUL, so that no number
// handed to the delivery program is ever cut.
inline constexpr size_t kNumberSize = std::numeric_limits<unsigned long>::digits10 + 2;

// Fills base arguments 0 to 8. They point into static buffers, valid until
// the next call; argument 8 is filled by call_audit_program.
void fillin_base_vec(const char **vector, int event, int record, int detail);

// Runs the delivery program with `vector` and waits for it: -1 when no child
// could be made, else the result of waiting (the child's id, or -1).
int call_audit_program(const char *path, const char *const *vector);

// The block that request 5 of the audit device takes to set the calling
// process's audit masks. False when the user's own entry does not hold both
// masks, and the masks are then left as they are.
inline constexpr size_t kControlBlockSize = 20;
bool audit_control_block(const struct pr_passwd *pr, unsigned char (&block)[kControlBlockSize]);

}  // namespace vant::frame
