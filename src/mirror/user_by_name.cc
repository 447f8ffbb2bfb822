#include "mirror/user_by_name.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "mirror/etc_passwd_format.h"
#include "mirror/name_index.h"
#include "platform/accounts.h"
#include "platform/descriptor.h"
#include "platform/nis_accounts.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::mirror {
namespace {

constexpr size_t kChunk = 1024;
constexpr size_t kLongestLine = 1 << 20;

// The line that starts at `offset`, without its newline; false when it
// cannot be read whole.
bool line_at(int fd, uint64_t offset, uint64_t size, std::string &line) {
    line.clear();
    for (uint64_t at = offset; at < size && line.size() < kLongestLine;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, size - at));
        size_t had = line.size();
        line.resize(had + want);
        if (!platform::pread_all(fd, line.data() + had, want, static_cast<off_t>(at))) return false;
        size_t end = line.find('\n', had);
        if (end != line.npos) {
            line.resize(end);
            return true;
        }
        at += want;
    }
    return line.size() < kLongestLine;  // the last line may lack its newline
}

// The C library's own parse of one line, so that every field comes out as
// the whole-file parse gives it.
struct passwd *parse(std::string &line) {
    line.push_back('\n');
    FILE *stream = fmemopen(line.data(), line.size(), "r");
    if (stream == nullptr) return nullptr;
    struct passwd *pw = fgetpwent(stream);
    fclose(stream);
    return pw;
}

// The index's answer, when it is certain; `known` false leaves the scan
// to decide.
struct passwd *indexed(const char *name, bool &known) {
    known = false;
    platform::Descriptor fd(platform::open_file(kPasswdPath, O_RDONLY | O_CLOEXEC));
    struct stat source;
    if (!fd.is_open() || fstat(fd.get(), &source) != 0 || !S_ISREG(source.st_mode)) return nullptr;
    uint64_t offset = 0;
    switch (
        indexed_line(kPasswdPath, fd.get(), source, name, 0, offset, IndexReader::entry_parser)) {
        case IndexAnswer::unknown:
            return nullptr;
        case IndexAnswer::no_line:
            known = true;
            return nullptr;
        case IndexAnswer::line:
            break;
    }
    static std::string line;
    struct stat now;
    if (!line_at(fd.get(), offset, static_cast<uint64_t>(source.st_size), line) ||
        fstat(fd.get(), &now) != 0 || !same_state(source, now))
        return nullptr;
    // A line the parser skips as malformed leaves the name to a later line.
    if (line.compare(0, strlen(name) + 1, std::string(name) + ":") != 0) {
        distrust_index(kPasswdPath);
        return nullptr;
    }
    struct passwd *pw = parse(line);
    known = pw != nullptr && strcmp(pw->pw_name, name) == 0;
    return known ? pw : nullptr;
}

}  // namespace

struct passwd *user_by_name(const char *name) {
    if (name == nullptr) return nullptr;
    bool known = false;
    platform::announce_user(name);
    struct passwd *pw = indexed(name, known);
    if (!known) return platform::getpwnam(name);
    return pw != nullptr ? pw : platform::nis_user_by_name(name);
}

}  // namespace vant::mirror
