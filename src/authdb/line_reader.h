// Reading a text file whole line by whole line, however long a line is.
#pragma once

#include <stdio.h>
#include <sys/types.h>

namespace vant::authdb {

// Owns the stream it reads and closes it at the end of its life.
class LineReader {
  public:
    explicit LineReader(FILE *in) : in_(in) {}
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool is_open() const { return in_ != nullptr; }
    FILE *stream() const { return in_; }
    // The next line, newline included when it has one; null at the end of
    // the file or when it cannot be read.
    char *next();
    char *line() const { return line_; }
    size_t length() const { return static_cast<size_t>(length_); }
    // Whether the line ends in a backslash before its newline.
    bool continues() const {
        return length_ >= 2 && line_[length_ - 1] == '\n' && line_[length_ - 2] == '\\';
    }
    bool ended() const { return line_[length_ - 1] == '\n'; }
    // After next() gave null: whether it was a read error or lack of memory.
    bool failed() const { return failed_; }

  private:
    FILE *in_;
    char *line_ = nullptr;
    size_t size_ = 0;
    ssize_t length_ = 0;
    bool failed_ = false;
};

}  // namespace vant::authdb
