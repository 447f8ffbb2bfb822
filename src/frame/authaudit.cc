// Audit records handed to the delivery program: failures, subsystem events
// and administrative lockouts, with the messages some of them report.
#include <stdio.h>

#include <algorithm>
#include <iterator>

#include "frame/authaudit.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "vant.h"

using namespace vant::frame;

namespace {

// Failure kinds: the detail code of a failure record.
constexpr int kFailEntry = 1;
constexpr int kFailLaxFile = 2;
constexpr int kFailNoResource = 3;
constexpr int kFailSecurity = 4;

const char *given(const char *text) {
    return text != nullptr ? text : "";
}

// A number formatted for the vector; it lives to the end of the full
// expression that made it, which covers the run of the program.
struct Decimal {
    explicit Decimal(int value) { snprintf(text, sizeof text, "%d", value); }
    explicit Decimal(unsigned long value) { snprintf(text, sizeof text, "%lu", value); }
    char text[kNumberSize];
};

// The record's own arguments go from index 9 exactly as given: a null one
// ends the vector there.
template <typename... Args>
int deliver(int event, int record, int detail, Args... args) {
    static_assert(sizeof...(args) < kMaxArgs - kBaseArgs, "the vector has no room");
    const char *vector[kMaxArgs] = {};
    fillin_base_vec(vector, event, record, detail);
    const char *own[] = {args..., nullptr};
    std::copy(std::begin(own), std::end(own), vector + kBaseArgs);
    return call_audit_program(kDeliveryProgram, vector);
}

void audit_no_resource_msg(const char *resource, const char *reason) {
    vant::frame::store_msg(VANT_SEV_WARNING, text_of(msg_vant_noresource), given(resource),
                           given(reason));
}

// The message shows the translated texts; the record keeps the originals.
int real_audit_no_resource(int event, const char *resource, const char *resource_msg, int code,
                           const char *reason, const char *reason_msg) {
    audit_no_resource_msg(resource_msg, reason_msg);
    return deliver(event, kRecordFailure, kFailNoResource, Decimal(code).text, given(resource),
                   given(reason));
}

int real_audit_security_failure(int event, int code, unsigned long id1, unsigned long id2,
                                const char *action, const char *result) {
    return deliver(event, kRecordFailure, kFailSecurity, Decimal(code).text, Decimal(id1).text,
                   Decimal(id2).text, given(action), given(result));
}

int real_audit_subsystem(int event, int code, const char *text1, const char *text2) {
    return deliver(event, kRecordSubsystem, code, given(text1), given(text2));
}

}  // namespace

namespace vant::frame {

int audit_auth_entry(const char *object, int code, const char *text) {
    frame::check_auth_parameters();
    return deliver(kEventDatabase, kRecordFailure, kFailEntry, Decimal(code).text, given(object),
                   given(text));
}

void audit_lax_file(const char *file, const char *text) {
    frame::check_auth_parameters();
    deliver(kEventDatabase, kRecordFailure, kFailLaxFile, given(file), given(text));
    frame::store_msg(VANT_SEV_WARNING, "%s: %s", given(file), text_of(msg_vant_fcdberror));
}

int audit_no_resource(const char *resource, int code, const char *reason) {
    frame::check_auth_parameters();
    return real_audit_no_resource(kEventDatabase, resource, resource, code, reason, reason);
}

int intl_audit_no_resource(const char *resource, const char *resource_msg, int code,
                           const char *reason, const char *reason_msg) {
    frame::check_auth_parameters();
    return real_audit_no_resource(kEventDatabase, resource, resource_msg, code, reason, reason_msg);
}

int sa_audit_no_resource(const char *resource, int code, const char *reason) {
    frame::check_auth_parameters();
    return real_audit_no_resource(kEventSysadm, resource, resource, code, reason, reason);
}

int audit_no_memory(void) {
    frame::check_auth_parameters();
    return frame::intl_audit_no_resource(vant_memory, text_of(msg_vant_memory), VANT_OBJ_RESOURCE,
                                         vant_badalloc, text_of(msg_vant_badalloc));
}

int audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                           const char *result) {
    frame::check_auth_parameters();
    return real_audit_security_failure(kEventDatabase, code, id1, id2, action, result);
}

int sa_audit_security_failure(int code, unsigned long id1, unsigned long id2, const char *action,
                              const char *result) {
    frame::check_auth_parameters();
    return real_audit_security_failure(kEventSysadm, code, id1, id2, action, result);
}

int audit_subsystem(int code, const char *text1, const char *text2) {
    frame::check_auth_parameters();
    return real_audit_subsystem(kEventSubsystem, code, text1, text2);
}

int sa_audit_subsystem(int code, const char *text1, const char *text2) {
    frame::check_auth_parameters();
    return real_audit_subsystem(kEventSysadm, code, text1, text2);
}

int sa_audit_lock(int code, const char *name) {
    frame::check_auth_parameters();
    return deliver(kEventSysadm, kRecordLock, code, name);
}

}  // namespace vant::frame
