// Internals of the pronounceable password generator.
#pragma once

#include <stdint.h>
#include <stdlib.h>

#include "passwords/unit_tables.h"
#include "passwords/wipe.h"

namespace vant::passwords {

inline bool has(uint8_t unit, uint8_t flag) {
    return (kUnits[unit].flags & flag) != 0;
}
inline bool is_vowel(uint8_t unit) {
    return has(unit, kVowel);
}
inline int length_of(uint8_t unit) {
    return kUnits[unit].text[1] != '\0' ? 2 : 1;
}

// 0 to n - 1.
inline int randint(int n) {
    return static_cast<int>(drand48() * n);
}
// min to max, in 16-bit arithmetic.
inline uint16_t get_random(uint16_t min, uint16_t max) {
    return static_cast<uint16_t>(min + randint(static_cast<uint16_t>(max - min + 1)));
}
inline uint8_t random_unit() {
    return kDraws[randint(kDrawCount)];
}

// Room for the generation of one word of up to n characters. It holds
// pieces of the password, so it is wiped when released.
class WordSpace {
  public:
    // A unit has at least one character; two spare places keep a unit held
    // over from an earlier syllable within bounds.
    explicit WordSpace(uint16_t n) : room_(size_t{n} + 2), block_(4 * room_ + 1) {}
    bool ok() const { return block_.ok(); }

    uint8_t *word_units() const { return units_at(0); }
    uint8_t *syllable_units() const { return units_at(room_); }
    // Each unit has at most two characters.
    char *syllable() const { return block_.get() + 2 * room_; }

  private:
    uint8_t *units_at(size_t at) const { return reinterpret_cast<uint8_t *>(block_.get()) + at; }
    size_t room_;
    SecretBuffer block_;
};

// A syllable of at most m characters into space.syllable(), its units into
// space.syllable_units(); returns the index of its last unit.
int get_syllable(uint16_t m, WordSpace &space);
// Units u[0] to u[last] of one syllable.
bool illegal_placement(const uint8_t *u, int last);
bool have_initial_y(const uint8_t *u, int last);
bool have_final_split(const uint8_t *u, int last);
// The first count units of a word.
bool improper_word(const uint8_t *u, int count);

// A word of exactly n characters; its units are left in space.word_units().
// Returns the number of units.
int get_word(char *word, char *hyphenated_word, uint16_t n, WordSpace &space);

}  // namespace vant::passwords
