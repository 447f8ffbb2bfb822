// The audit delivery program: its base arguments, and its run as a child
// that the caller waits for.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "frame/authaudit.h"
#include "frame/frame.h"
#include "platform/child_program.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::frame {
namespace {

constexpr char kSubsysDirectory[] = "/tcb/files/subsys/";
// Files in the subsystem directory are named by at most 14 characters of
// the group name.
constexpr int kSubsysNameMax = 14;
constexpr size_t kGroupNameSize = 20;

struct DeliveryState {
    bool group_found;
    char group_name[kGroupNameSize];
    // Empty when the group name cannot stand as a file in the directory.
    char subsys_filename[sizeof kSubsysDirectory + kSubsysNameMax];
    char time_text[kNumberSize];
    char event_text[kNumberSize];
    char record_text[kNumberSize];
    char pid_text[kNumberSize];
    char detail_text[kNumberSize];
    char descriptor_text[kNumberSize];
};
DeliveryState state;

const char *program_name() {
    return strrchr(kDeliveryProgram, '/') + 1;
}

// Looked up until a name is found; a longer name is cut to the buffers.
void learn_group() {
    if (state.group_found) return;
    const char *name = frame::gr_idtoname(frame::starting_egid());
    state.group_found = name != nullptr;
    snprintf(state.group_name, sizeof state.group_name, "%s", name != nullptr ? name : "none");
    snprintf(state.subsys_filename, sizeof state.subsys_filename, "%s%.*s", kSubsysDirectory,
             kSubsysNameMax, state.group_name);
    // Any other name would hand some other file to the delivery program.
    if (!platform::is_file_name(state.subsys_filename + strlen(kSubsysDirectory)))
        state.subsys_filename[0] = '\0';
}

int open_subsys_file() {
    if (state.subsys_filename[0] == '\0') return -1;
    return platform::open_file_inherited(state.subsys_filename, O_RDONLY);
}

// In the child: the delivery program inherits the quiet zone's blocked
// signals and the descriptor of the group's subsystem file.
void prepare_child() {
    frame::enter_quiet_zone();
    snprintf(state.descriptor_text, sizeof state.descriptor_text, "%d", open_subsys_file());
}

}  // namespace

void fillin_base_vec(const char **vector, int event, int record, int detail) {
    learn_group();
    snprintf(state.time_text, sizeof state.time_text, "%lu",
             static_cast<unsigned long>(vant::platform::now()));
    snprintf(state.event_text, sizeof state.event_text, "%d", event);
    snprintf(state.record_text, sizeof state.record_text, "%d", record);
    snprintf(state.pid_text, sizeof state.pid_text, "%d", static_cast<int>(getpid()));
    snprintf(state.detail_text, sizeof state.detail_text, "%d", detail);
    vector[0] = program_name();
    vector[1] = state.time_text;
    vector[2] = state.event_text;
    vector[3] = state.record_text;
    vector[4] = state.pid_text;
    // A null here would end the vector before the record's own arguments.
    vector[kArgCommand] = command_name != nullptr ? command_name : "";
    vector[6] = state.detail_text;
    vector[7] = state.group_name;
    vector[8] = state.descriptor_text;
}

int call_audit_program(const char *path, const char *const *vector) {
    platform::ChildProgram program;
    if (!program.start({.path = path, .argv = vector, .in_child = prepare_child})) return -1;
    int status;
    return program.wait(status);
}

}  // namespace vant::frame
