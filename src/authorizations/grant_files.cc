// Reading the grant files: a user's line in a subsystem's file, and the
// list of default users.
#include <string.h>

#include "authdb/authdb.h"
#include "authorizations/grants.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "platform/root.h"

namespace vant::authorizations {
namespace {

void report(const char *path, const frame::Message &reason) {
    frame::intl_audit_no_resource(path, path, 1, *reason.text, frame::text_of(reason));
}

void drop_newline(char *line, size_t length) {
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
}

}  // namespace

FILE *open_grant_file(const char *path) {
    return platform::fopen_file(path, "r");
}

// Only a newline is dropped: the last line of a file may lack one, and its
// last character is then part of the name.
std::string_view line_text(const char *line, size_t length) {
    std::string_view text(line, length);
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

std::string_view line_user(const char *line, size_t length) {
    std::string_view text = line_text(line, length);
    return text.substr(0, text.find(':'));
}

UserLine find_user_line(LineReader &in, const char *path, const char *user, char **names) {
    while (char *line = in.next()) {
        drop_newline(line, in.length());
        char *colon = strchr(line, ':');
        if (colon == nullptr) {
            report(path, frame::msg_vant_missingcolon);
            return UserLine::malformed;
        }
        if (std::string_view(line, static_cast<size_t>(colon - line)) == user) {
            *names = colon + 1;
            return UserLine::found;
        }
    }
    if (!in.failed()) return UserLine::absent;
    report(path, frame::msg_vant_badread);
    return UserLine::unreadable;
}

bool lists_name(std::string_view names, const char *wanted) {
    while (!names.empty()) {
        size_t comma = names.find(',');
        std::string_view name = names.substr(0, comma);
        if (!name.empty() && name == wanted) return true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
    return false;
}

DefaultListing default_user_listing(const char *user) {
    OwnedText path = authdb::find_auth_file(kDefaultUsers, VANT_OBJ_AUTHORIZE);
    if (path == nullptr) return DefaultListing::unopened;
    LineReader in(open_grant_file(path.get()));
    if (!in.is_open()) return DefaultListing::unopened;
    while (char *line = in.next())
        if (line_text(line, in.length()) == user) return DefaultListing::listed;
    return DefaultListing::not_listed;
}

}  // namespace vant::authorizations
