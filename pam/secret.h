// A typed password in memory of the C library's heap, wiped before it is
// released.
#pragma once

#include <stdlib.h>
#include <string.h>

namespace vant_pam {

class Secret {
  public:
    Secret() = default;
    ~Secret() { reset(nullptr); }
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;

    // Takes ownership of a text from malloc.
    void reset(char *owned) {
        if (text_ != nullptr) {
            explicit_bzero(text_, strlen(text_));
            free(text_);
        }
        text_ = owned;
    }
    char *get() const { return text_; }
    bool empty() const { return text_ == nullptr || text_[0] == '\0'; }
    size_t size() const { return text_ != nullptr ? strlen(text_) : 0; }

  private:
    char *text_ = nullptr;
};

}  // namespace vant_pam
