// The one owner of an open file descriptor: closed when its owner goes,
// whichever way the code that opened it returns.
#pragma once

#include <errno.h>
#include <unistd.h>

namespace vant::platform {

class Descriptor {
  public:
    constexpr Descriptor() = default;
    // Takes `fd`; a negative one is no descriptor.
    explicit constexpr Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Hands the descriptor on: this owner no longer closes it.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor held, if any, and takes `fd`. The errno of the
    // call that made the caller give up survives the close.
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            int saved = errno;
            ::close(fd_);
            errno = saved;
        }
        fd_ = fd;
    }
    // For a caller that must know: whether the close succeeded, as close
    // reports it (a written file's last error may come only here).
    bool close() {
        int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_ = -1;
};

}  // namespace vant::platform
