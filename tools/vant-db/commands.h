// The commands of vant-db, each a row of one table.
#pragma once

#include <string>
#include <vector>

namespace vantdb {

// What a command is given: its operands and the output form.
struct Request {
    std::vector<std::string> operands;
    bool json = false;
};

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kFound = 1;  // check: a disagreement
inline constexpr int kFailed = 2;

struct Command {
    const char *verb;
    const char *noun;  // "" for commands without one
    const char *operands;
    const char *summary;
    int min_operands;
    int max_operands;  // -1: any number
    int (*run)(const Request &);
};

// Null when no row has that verb (and noun, for verbs that take one).
const Command *find_command(const std::string &verb, const std::string &noun);
const std::vector<Command> &all_commands();

// One line "vant-db: text" on standard error; returns kFailed.
int fail(const std::string &text);

int show_user(const Request &);
int show_terminal(const Request &);
int show_device(const Request &);
int show_file(const Request &);
int list_users(const Request &);
int list_terminals(const Request &);
int list_devices(const Request &);
int list_files(const Request &);
int lock_user(const Request &);
int unlock_user(const Request &);
int reset_user(const Request &);
int set_user(const Request &);
int lock_terminal(const Request &);
int unlock_terminal(const Request &);
int reset_terminal(const Request &);
int set_terminal(const Request &);
int create_user(const Request &);
int remove_user(const Request &);
int grant(const Request &);
int revoke(const Request &);
int check(const Request &);
int init(const Request &);

}  // namespace vantdb
