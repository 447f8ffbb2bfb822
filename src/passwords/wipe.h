// Clearing plaintext passwords from memory.
#pragma once

#include <stddef.h>
#include <stdlib.h>

namespace vant::passwords {

// Overwrites n bytes with 0xFF, then with zeros.
void wipe(void *p, size_t n);

// A heap copy of secret text, wiped before its memory is given back.
// Allocation failure leaves it empty; callers check ok().
class SecretBuffer {
  public:
    explicit SecretBuffer(size_t size)
        : data_(static_cast<char *>(malloc(size))), size_(data_ != nullptr ? size : 0) {}
    ~SecretBuffer() {
        wipe(data_, size_);
        free(data_);
    }
    SecretBuffer(const SecretBuffer &) = delete;
    SecretBuffer &operator=(const SecretBuffer &) = delete;

    bool ok() const { return data_ != nullptr; }
    char *get() const { return data_; }

  private:
    char *data_;
    size_t size_;
};

}  // namespace vant::passwords
