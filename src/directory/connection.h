// One connection to the directory server, with every network step bounded
// by the configured time-out: a server that is down, slow or silent gives
// an answer within that time, never a hang.
#pragma once

#include <string>
#include <vector>

#include "directory/entry_lines.h"
#include "directory/settings.h"

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;

namespace vant::directory {

enum class Outcome {
    ok,
    unreachable,  // no connection, or no answer in time: the directory is not there
    refused,      // the server answered, and said no
};

// Who the connection binds as; an empty name binds as nobody.
struct Credentials {
    std::string dn;
    std::string secret;
};

class Connection {
  public:
    Connection(const Settings &settings, Credentials credentials)
        : settings_(settings), credentials_(std::move(credentials)) {}
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Every entry below `base` that `filter` selects, in pages, so that a
    // server's limit on one answer does not cut the list short.
    Outcome search(const std::string &base, const std::string &filter,
                   const char *const *attributes, std::vector<Entry> &entries, std::string &why);
    // Replaces the values of attributes of one entry.
    struct Change {
        const char *attribute;
        std::string value;
    };
    Outcome replace(const std::string &dn, const std::vector<Change> &changes, std::string &why);
    void close();

  private:
    Outcome connect(std::string &why);
    Outcome wait(int msgid, LDAPMessage **result, std::string &why);
    Outcome search_once(const std::string &base, const std::string &filter,
                        const char *const *attributes, std::vector<Entry> &entries,
                        std::string &why);
    Outcome replace_once(const std::string &dn, const std::vector<Change> &changes,
                         std::string &why);

    Settings settings_;
    Credentials credentials_;
    LDAP *ld_ = nullptr;
};

// The value as an assertion value of a search filter: the characters a
// filter gives meaning to are escaped.
std::string filter_value(const std::string &value);

}  // namespace vant::directory
