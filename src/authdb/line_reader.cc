#include "authdb/line_reader.h"

#include <stdlib.h>

namespace vant::authdb {

LineReader::~LineReader() {
    free(line_);
    if (in_ != nullptr) fclose(in_);
}

char *LineReader::next() {
    if (in_ == nullptr) return nullptr;
    length_ = getline(&line_, &size_, in_);
    if (length_ > 0) return line_;
    failed_ = ferror(in_) != 0 || feof(in_) == 0;
    return nullptr;
}

}  // namespace vant::authdb
