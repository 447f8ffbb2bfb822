// The name indexes of /etc/passwd and /etc/shadow: for each user name, the
// byte offsets of the lines that begin with it, kept in a cache file beside
// the id maps, stamped with the source file's identity, and rebuilt by the
// first process that finds it stale.
#pragma once

#include <stdint.h>
#include <sys/stat.h>

#include <string_view>

namespace vant::mirror {

// The hash by which names are spread over buckets, here and in the line
// finder's local name list.
uint32_t name_hash(std::string_view name);

// Whether two stats describe the same file with the same content as far as
// its stamp tells: device, inode, size, modification time.
bool same_state(const struct stat &a, const struct stat &b);

enum class IndexAnswer { line, no_line, unknown };

// Who asks: the line finder matches a line by its first field as it
// stands; the C library's entry parser also reads a line that begins with
// blanks under the name after them, which the index does not file.
enum class IndexReader { line_finder, entry_parser };

// Where the circular search for `name` from `position` in the source at
// the logical `path`, open as `fd` and as `source` (its fstat) describes
// it, would find its line: the first of the name's lines at or after
// `position`, else its first line. `unknown` whenever the index cannot
// tell for certain; a stale index is rebuilt first.
IndexAnswer indexed_line(const char *path, int fd, const struct stat &source, std::string_view name,
                         uint64_t position, uint64_t &offset,
                         IndexReader reader = IndexReader::line_finder);

// Removes the index of the source at `path`, so that the next lookup
// rebuilds it: it sent a name to a line that is not the name's.
void distrust_index(const char *path);

}  // namespace vant::mirror
