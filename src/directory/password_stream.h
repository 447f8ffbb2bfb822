// The directory's part in a search of /etc/passwd: the "+" and "-" lines
// handed over take directory users in and out, and the lines taken in are
// handed back one at a time, before the file's next line.
//
// "+" takes in every directory user, "+name" one; "-name" keeps a
// directory user out, for the rest of the process, wherever the line
// stands. A by-name search is served only the name searched for; a search
// of the whole file (request type 1) is served every user taken in.
// The first line that matches wins, so a local user's line before the "+"
// line keeps a directory user of the same name out.
#pragma once

namespace vant::directory {

inline constexpr int kWholeFile = 1;
inline constexpr int kByName = 2;

void stream_request(int type, const char *name);
void stream_rewind();
// Requests of the finder: 1 and 2 (whether the name searched for was seen
// before) change nothing here; 3 asks whether "+" and "-" lines are escapes (zero: yes);
// 4 whether the current line is to be passed over (a directory line
// that did not match is never kept in a file).
int stream_control(int request);
void stream_escape(const char *line);
// The next directory line taken in, or null.
const char *stream_line();
// Whether a match on `name` must not count.
int stream_stopped(const char *name);

}  // namespace vant::directory
