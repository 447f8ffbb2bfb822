// Reading and writing record fields of different widths through one
// descriptor, so that the codecs can be driven by tables of fields.
#pragma once

#include <stddef.h>
#include <string.h>

#include <cstdint>
#include <type_traits>

namespace vant::databases {

// An integer field: where it lies in its record, its width and whether it
// is signed.
struct IntSlot {
    size_t offset;
    unsigned char width;
    bool is_signed;
};

// The slot of an integer member of a record type.
#define VANT_INT_SLOT(Record, member)                               \
    ::vant::databases::IntSlot {                                    \
        offsetof(Record, member), sizeof(decltype(Record::member)), \
            std::is_signed_v<decltype(Record::member)>              \
    }

inline long load_int(const void *record, IntSlot s) {
    const unsigned char *p = static_cast<const unsigned char *>(record) + s.offset;
    switch (s.width) {
        case 1: {
            uint8_t v;
            memcpy(&v, p, 1);
            return s.is_signed ? static_cast<int8_t>(v) : v;
        }
        case 2: {
            uint16_t v;
            memcpy(&v, p, 2);
            return s.is_signed ? static_cast<int16_t>(v) : v;
        }
        default: {
            uint32_t v;
            memcpy(&v, p, 4);
            return s.is_signed ? static_cast<long>(static_cast<int32_t>(v)) : static_cast<long>(v);
        }
    }
}

// Stores the low bits of `value` that the field's width holds.
inline void store_int(void *record, IntSlot s, long value) {
    unsigned char *p = static_cast<unsigned char *>(record) + s.offset;
    uint32_t bits = static_cast<uint32_t>(static_cast<unsigned long>(value));
    if (s.width == 1) {
        uint8_t v = static_cast<uint8_t>(bits);
        memcpy(p, &v, 1);
    } else if (s.width == 2) {
        uint16_t v = static_cast<uint16_t>(bits);
        memcpy(p, &v, 2);
    } else {
        memcpy(p, &bits, 4);
    }
}

// Copies at most `size` - 1 characters of `value` into the text field at
// `offset`, always terminated.
inline void store_text(void *record, size_t offset, size_t size, const char *value) {
    char *field = static_cast<char *>(record) + offset;
    size_t n = strnlen(value, size - 1);
    memcpy(field, value, n);
    field[n] = '\0';
}

}  // namespace vant::databases
