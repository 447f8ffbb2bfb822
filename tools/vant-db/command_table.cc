// The table of commands.
#include <stdio.h>

#include "commands.h"

namespace vantdb {
namespace {

const std::vector<Command> kCommands = {
    {"show", "user", "NAME", "a user's entry; unset fields from the system defaults", 1, 1,
     show_user},
    {"show", "terminal", "NAME", "a terminal's entry", 1, 1, show_terminal},
    {"show", "device", "NAME", "a device assignment", 1, 1, show_device},
    {"show", "file", "PATH", "a file's File Control entry", 1, 1, show_file},
    {"list", "users", "", "the users that have an entry", 0, 0, list_users},
    {"list", "terminals", "", "the terminals", 0, 0, list_terminals},
    {"list", "devices", "", "the device assignments", 0, 0, list_devices},
    {"list", "files", "", "the File Control entries", 0, 0, list_files},
    {"lock", "user", "NAME", "lock an account", 1, 1, lock_user},
    {"unlock", "user", "NAME", "unlock an account and clear its failure count", 1, 1, unlock_user},
    {"reset", "user", "NAME", "clear an account's failure count", 1, 1, reset_user},
    {"set", "user", "NAME FIELD=VALUE...", "set fields (an empty VALUE unsets)", 2, -1, set_user},
    {"lock", "terminal", "NAME", "lock a terminal", 1, 1, lock_terminal},
    {"unlock", "terminal", "NAME", "unlock a terminal and clear its failure count", 1, 1,
     unlock_terminal},
    {"reset", "terminal", "NAME", "clear a terminal's failure count", 1, 1, reset_terminal},
    {"set", "terminal", "NAME FIELD=VALUE...", "set fields (an empty VALUE unsets)", 2, -1,
     set_terminal},
    {"create", "user", "NAME UID [FIELD=VALUE...]", "create a user's entry", 2, -1, create_user},
    {"remove", "user", "NAME", "remove a user's entry", 1, 1, remove_user},
    {"grant", "", "NAME AUTHORIZATION...", "grant authorizations", 2, -1, grant},
    {"revoke", "", "NAME AUTHORIZATION...", "revoke authorizations", 2, -1, revoke},
    {"check", "", "", "compare the entries with /etc/passwd and /etc/shadow", 0, 0, check},
    {"init", "", "DIR", "lay out the sample system as a fresh root in DIR", 1, 1, init},
};

}  // namespace

const std::vector<Command> &all_commands() {
    return kCommands;
}

const Command *find_command(const std::string &verb, const std::string &noun) {
    for (const Command &c : kCommands)
        if (verb == c.verb && (c.noun[0] == '\0' || noun == c.noun)) return &c;
    return nullptr;
}

int fail(const std::string &text) {
    fprintf(stderr, "vant-db: %s\n", text.c_str());
    return kFailed;
}

}  // namespace vantdb
