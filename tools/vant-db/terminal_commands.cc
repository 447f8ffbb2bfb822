// Commands that change a terminal's entry.
#include "commands.h"
#include "entries.h"
#include "field_assignments.h"

namespace vantdb {
namespace {

using Change = void (*)(Half own);

int change_terminal(const std::string &name, Change change) {
    struct pr_term t;
    if (!read_terminal(name, t)) return kFailed;
    change(half_of(t.ufld, t.uflg));
    return write_terminal(name, t);
}

void clear_failures(Half own) {
    set_field(kTerminalFields, own, "t_failures", "0");
}

}  // namespace

int lock_terminal(const Request &r) {
    return change_terminal(r.operands[0],
                           [](Half own) { set_field(kTerminalFields, own, "t_lock", "yes"); });
}

int unlock_terminal(const Request &r) {
    return change_terminal(r.operands[0], [](Half own) {
        set_field(kTerminalFields, own, "t_lock", "no");
        clear_failures(own);
    });
}

int reset_terminal(const Request &r) {
    return change_terminal(r.operands[0], clear_failures);
}

int set_terminal(const Request &r) {
    struct pr_term t;
    if (!read_terminal(r.operands[0], t)) return kFailed;
    std::string error;
    std::vector<std::string> assignments(r.operands.begin() + 1, r.operands.end());
    if (!apply_assignments(kTerminalFields, half_of(t.ufld, t.uflg), assignments, error))
        return fail(error);
    return write_terminal(r.operands[0], t);
}

}  // namespace vantdb
