#include "directory/password_stream.h"

#include <string.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "directory/directory.h"

namespace vant::directory {
namespace {

constexpr int kEscapesOff = 3;
constexpr int kSkipLine = 4;

struct Stream {
    int type = kWholeFile;
    std::string wanted;
    std::set<std::string> excluded;  // "-name" lines seen in this process
    std::deque<std::string> pending;
    std::string current;   // the line last handed out
    bool handing = false;  // the finder's current line is ours
};

Stream &stream() {
    static Stream s;
    return s;
}

// The text of an escape line after its sign, up to its first ":".
std::string escaped_name(const char *line) {
    size_t length = strcspn(line + 1, ":\n");
    return std::string(line + 1, length);
}

bool served(const Stream &s, const std::string &name) {
    return s.excluded.count(name) == 0;
}

void take_in_one(Stream &s, const std::string &name) {
    if (!served(s, name) || (s.type == kByName && name != s.wanted)) return;
    Line line;
    if (user_by_name(name.c_str(), PasswordField::crypted, line) == Answer::found)
        s.pending.push_back(line.text);
}

void take_in_all(Stream &s) {
    if (s.type == kByName) {
        if (!s.wanted.empty()) take_in_one(s, s.wanted);
        return;
    }
    std::vector<Line> lines;
    if (all_users(PasswordField::crypted, lines) != Answer::found) return;
    for (const Line &l : lines)
        if (served(s, l.name)) s.pending.push_back(l.text);
}

}  // namespace

void stream_request(int type, const char *name) {
    Stream &s = stream();
    s.type = type == kByName && name != nullptr ? kByName : kWholeFile;
    s.wanted = s.type == kByName ? name : "";
}

void stream_rewind() {
    Stream &s = stream();
    s.pending.clear();
    s.handing = false;
}

int stream_control(int request) {
    Stream &s = stream();
    switch (request) {
        case kEscapesOff:
            return configured() ? 0 : 1;
        case kSkipLine:
            return s.handing ? 1 : 0;
        default:
            return 0;
    }
}

void stream_escape(const char *line) {
    Stream &s = stream();
    if (line == nullptr || !configured()) return;
    std::string name = escaped_name(line);
    // Netgroups ("+@group", "-@group") are not served.
    if (!name.empty() && name[0] == '@') return;
    if (line[0] == '-') {
        if (!name.empty()) s.excluded.insert(name);
        return;
    }
    if (line[0] != '+') return;
    if (name.empty())
        take_in_all(s);
    else
        take_in_one(s, name);
}

const char *stream_line() {
    Stream &s = stream();
    if (s.pending.empty()) {
        s.handing = false;
        return nullptr;
    }
    s.current = std::move(s.pending.front());
    s.pending.pop_front();
    s.handing = true;
    return s.current.c_str();
}

int stream_stopped(const char *name) {
    Stream &s = stream();
    return s.handing && name != nullptr && !served(s, name) ? 1 : 0;
}

}  // namespace vant::directory
