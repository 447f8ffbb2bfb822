// Growable text buffers in which a rewritten file is assembled before it is
// written back, and the allocation that reports lack of memory.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "frame/frame.h"
#include "mirror/line_finder.h"
#include "vant.h"

namespace vant::mirror {
namespace {

constexpr int32_t kGrowth = 3000;

}  // namespace

char *get_buffer(size_t size) {
    if (size == 0) return nullptr;
    auto *memory = static_cast<char *>(calloc(1, size));
    if (memory == nullptr) frame::audit_no_memory();
    return memory;
}

int grow_buffer(text_buffer *buf) {
    if (buf == nullptr || buf->capacity < 0) return -1;
    if (buf->capacity == 0) {
        char *storage = get_buffer(kGrowth);
        if (storage == nullptr) return -1;
        free(buf->storage);
        buf->storage = storage;
        buf->capacity = kGrowth;
        buf->used = 0;
        return 0;
    }
    if (buf->capacity > INT32_MAX - kGrowth) {
        frame::audit_no_memory();
        return -1;
    }
    int32_t capacity = buf->capacity + kGrowth;
    auto *storage = static_cast<char *>(realloc(buf->storage, static_cast<size_t>(capacity)));
    if (storage == nullptr) {
        frame::audit_no_memory();
        return -1;
    }
    buf->storage = storage;
    buf->capacity = capacity;
    return 0;
}

int add_to_buffer(const char *line, text_buffer *buf) {
    if (line == nullptr || buf == nullptr || buf->used < 0) return -1;
    size_t length = strlen(line);
    if (length >= static_cast<size_t>(INT32_MAX - buf->used)) {
        frame::audit_no_memory();
        return -1;
    }
    // A line no longer than the growth step needs one growth at most; a
    // longer one (not made by the line finder) takes as many as it needs.
    int32_t needed = buf->used + static_cast<int32_t>(length) + 1;
    while (needed >= buf->capacity)
        if (grow_buffer(buf) != 0) return -1;
    memcpy(buf->storage + buf->used, line, length);
    buf->storage[needed - 1] = '\n';
    buf->storage[needed] = '\0';  // not counted; there is always room for it
    buf->used = needed;
    return 0;
}

void free_buffer(text_buffer *buf) {
    if (buf == nullptr) return;
    free(buf->storage);
    buf->storage = nullptr;
    buf->capacity = 0;
    buf->used = 0;
}

}  // namespace vant::mirror
