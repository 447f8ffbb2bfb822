// Moving a whole buffer through a descriptor. Each call goes on after short
// counts and interrupted calls until the buffer is done, the file ends or an
// error stops it; errno then tells why.
#pragma once

#include <stddef.h>
#include <sys/types.h>

namespace vant::platform {

// False unless all `length` bytes went out.
bool write_all(int fd, const void *data, size_t length);
bool pwrite_all(int fd, const void *data, size_t length, off_t at);

// False unless all `length` bytes came in; the file ending first is a failure.
bool pread_all(int fd, void *data, size_t length, off_t at);

// Reads until `length` bytes or the end of the file: the count read, or -1.
ssize_t read_full(int fd, void *data, size_t length);

// One read that an interrupting signal does not cut short: what the
// descriptor had, up to `length`; 0 at the end, or -1.
ssize_t read_some(int fd, void *data, size_t length);

}  // namespace vant::platform
