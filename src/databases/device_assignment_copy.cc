// A Device Assignment record in one block of its own. Both halves are laid
// out in the block: the readers' buffers that the originals point into are
// reused by the next read, or released with the record.
#include <stdlib.h>
#include <string.h>

#include "databases/databases.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

// What the texts and lists of a record take, beyond the record itself.
struct Space {
    size_t pointers = 0;
    size_t chars = 0;
    bool overflow = false;

    void add(size_t &total, size_t more) {
        overflow |= __builtin_add_overflow(total, more, &total);
    }
    void text(const char *s) { add(chars, strlen(s) + 1); }
    void list(char *const *items) {
        size_t n = 0;
        for (; items != nullptr && items[n] != nullptr; ++n)
            text(items[n]);
        add(pointers, n + 1);
    }
    void half(const struct v_field &f, const struct v_flag &flags) {
        if (PR_V_ISSET(flags, PR_V_NAME) && f.v_name != nullptr) text(f.v_name);
        if (PR_V_ISSET(flags, PR_V_DEVS)) list(f.v_devs);
        if (PR_V_ISSET(flags, PR_V_USERS)) list(f.v_users);
    }
    // The pointer arrays come first, where the record's alignment holds.
    bool total(size_t &bytes) const {
        size_t size = 0;
        return !overflow && !__builtin_mul_overflow(pointers, sizeof(char *), &size) &&
               !__builtin_add_overflow(size, sizeof(struct dev_asg), &size) &&
               !__builtin_add_overflow(size, chars, &bytes);
    }
};

// Lays the texts and lists out in the block behind the record.
struct Layout {
    char **pointer;
    char *next;

    char *text(const char *s) {
        size_t n = strlen(s) + 1;
        char *copy = static_cast<char *>(memcpy(next, s, n));
        next += n;
        return copy;
    }
    char **list(char *const *items) {
        char **copy = pointer;
        for (size_t i = 0; items != nullptr && items[i] != nullptr; ++i)
            *pointer++ = text(items[i]);
        *pointer++ = nullptr;
        return copy;
    }
    // Absent fields point nowhere in the copy.
    void half(struct v_field &f, const struct v_flag &flags) {
        f.v_name = PR_V_ISSET(flags, PR_V_NAME) && f.v_name != nullptr ? text(f.v_name) : nullptr;
        f.v_devs = PR_V_ISSET(flags, PR_V_DEVS) ? list(f.v_devs) : nullptr;
        f.v_users = PR_V_ISSET(flags, PR_V_USERS) ? list(f.v_users) : nullptr;
    }
};

}  // namespace

namespace vant::databases {

struct dev_asg *copydvagent(const struct dev_asg *record) {
    if (record == nullptr) return nullptr;
    Space space;
    space.half(record->ufld, record->uflg);
    space.half(record->sfld, record->sflg);
    size_t bytes = 0;
    void *block = space.total(bytes) ? malloc(bytes) : nullptr;
    if (block == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    auto *copy = static_cast<struct dev_asg *>(memcpy(block, record, sizeof *record));
    auto **pointers = reinterpret_cast<char **>(copy + 1);
    Layout layout{pointers, reinterpret_cast<char *>(pointers + space.pointers)};
    layout.half(copy->ufld, copy->uflg);
    layout.half(copy->sfld, copy->sflg);
    return copy;
}

}  // namespace vant::databases
