// One syllable of a generated word, unit by unit. A syllable may end by
// handing its last one or two units over to the next syllable, of this
// word or of a later one.
#include <string.h>

#include "passwords/generator.h"

namespace vant::passwords {
namespace {

// slot[0] is the unit held alone, or the later of a pair; slot[1] the
// earlier of a pair.
struct HeldUnits {
    int count;
    uint8_t slot[2];
};
HeldUnits held;

void hold(uint8_t unit) {
    held.count = 1;
    held.slot[0] = unit;
}
void hold(uint8_t earlier, uint8_t later) {
    held.count = 2;
    held.slot[0] = later;
    held.slot[1] = earlier;
}

// One attempt at a syllable of at most m characters.
struct Attempt {
    uint8_t *units;
    char *text;
    size_t text_length = 0;
    int vowels = 0;
    int pos = 0;
    int left;
    unsigned tries = 0;
    unsigned limit;
    bool want_another = true;

    Attempt(WordSpace &space, uint16_t m)
        : units(space.syllable_units()), text(space.syllable()), left(m), limit(4u * m + 34) {
        text[0] = '\0';
    }

    void append(uint8_t unit) {
        strcpy(text + text_length, kUnits[unit].text);
        text_length += static_cast<size_t>(length_of(unit));
    }

    // Held units come first; of a pair, the earlier one goes in at once,
    // unchecked, and the later one is the candidate.
    uint8_t take_candidate() {
        if (held.count == 0) return random_unit();
        if (held.count == 2) {
            uint8_t earlier = held.slot[1];
            units[0] = earlier;
            if (is_vowel(earlier)) ++vowels;
            ++pos;
            append(earlier);
            left -= length_of(earlier);
        }
        held.count = 0;
        return units[pos] = held.slot[0];
    }

    bool breaks_at_start(uint8_t unit) {
        if (has(unit, kNotBeginSyllable)) return true;
        if (left != 0) return false;
        if (!is_vowel(unit)) return true;
        want_another = false;
        return false;
    }

    bool breaks_pair_rules(uint8_t p, uint8_t unit, uint8_t f) const {
        if ((f & kIllegalPair) || ((f & kBreak) && vowels == 0) ||
            ((f & kEnd) && vowels == 0 && !is_vowel(unit)))
            return true;
        if (pos == 1) return (f & kNotBegin) != 0;
        uint8_t q = units[pos - 2];
        return (pos == 2 && (f & kBegin) && has(units[0], kAlternateVowel)) ||
               ((f & kNotEnd) && left == 0) || ((f & kBreak) && (kDigram[q][p] & kNotEnd)) ||
               ((f & kPrefix) && !is_vowel(q));
    }

    // A vowel after consonants that follow a vowel starts the next syllable;
    // a third vowel in a row is refused.
    bool breaks_vowel_rules(uint8_t p, uint8_t unit) {
        if (pos < 2 || !is_vowel(unit) || (left == 0 && has(p, kNoFinalSplit))) return false;
        if (vowels >= 2 && is_vowel(p)) return true;
        if (vowels == 0 || is_vowel(p)) return false;
        if (kDigram[units[pos - 2]][p] & kNotEnd) return true;
        hold(unit);
        want_another = false;
        return false;
    }

    // Whether the syllable ends here, perhaps handing units over.
    void decide_end(uint8_t p, uint8_t unit, uint8_t f) {
        if ((f & kEnd) || left == 0) {
            want_another = false;
        } else if (vowels > 0) {
            if ((f & kBegin) && pos >= 2 && !(vowels == 1 && is_vowel(p))) {
                hold(p, unit);
                want_another = false;
            } else if (f & kBreak) {
                hold(unit);
                want_another = false;
            }
        }
    }

    bool breaks_rules(uint8_t unit) {
        left -= length_of(unit);
        bool broken = left < 0;
        if (pos == 0) return breaks_at_start(unit) || broken;
        uint8_t p = units[pos - 1];
        uint8_t f = kDigram[p][unit];
        broken = breaks_pair_rules(p, unit, f) || broken;
        if (!broken) broken = breaks_vowel_rules(p, unit);
        if (!broken && want_another) decide_end(p, unit, f);
        return broken;
    }

    // A unit for the current position; false when the tries ran out.
    bool find_unit(uint8_t &unit) {
        bool broken;
        do {
            unit = take_candidate();
            broken = breaks_rules(unit);
            ++tries;
            if (broken) left += length_of(unit);
        } while (broken && tries <= limit);
        return tries <= limit;
    }

    // The held-over units are not part of this syllable's text.
    void place(uint8_t unit) {
        if (is_vowel(unit) && (pos > 0 || !has(unit, kAlternateVowel))) ++vowels;
        if (held.count == 0) {
            units[pos] = unit;
            append(unit);
        } else if (held.count == 1) {
            pos -= 1;
        } else {
            text_length -= static_cast<size_t>(length_of(held.slot[1]));
            text[text_length] = '\0';
            pos -= 2;
        }
    }

    // The index of the last unit, or -1 when the attempt failed.
    int run() {
        int last = -1;
        do {
            uint8_t unit;
            if (!find_unit(unit)) return -1;
            place(unit);
            last = pos++;
        } while (want_another);
        return last;
    }
};

}  // namespace

int get_syllable(uint16_t m, WordSpace &space) {
    const int held_at_entry = held.count;
    for (;;) {
        // A failed attempt gives back the held-over count; the slots keep
        // what the attempt left in them.
        held.count = held_at_entry;
        Attempt attempt(space, m);
        int last = attempt.run();
        if (last >= 0 && !illegal_placement(attempt.units, last)) return last;
    }
}

bool illegal_placement(const uint8_t *u, int last) {
    int vowels = 0;
    for (int i = 0; i <= last; ++i) {
        if (i >= 1) {
            bool final_e = has(u[i], kNoFinalSplit) && i == last;
            if (!is_vowel(u[i - 1]) && is_vowel(u[i]) && !final_e && vowels != 0) return true;
        }
        if (i >= 2) {
            bool a = is_vowel(u[i - 2]), b = is_vowel(u[i - 1]), c = is_vowel(u[i]);
            bool initial_y = i == 2 && has(u[0], kAlternateVowel);
            if ((!a && !b && !c) || (a && !initial_y && b && c)) return true;
        }
        if (is_vowel(u[i]) && !(i == 0 && has(u[0], kAlternateVowel) && last > 0)) ++vowels;
    }
    return false;
}

bool have_initial_y(const uint8_t *u, int last) {
    int vowels = 0, normal_vowels = 0;
    for (int i = 0; i <= last; ++i) {
        if (!is_vowel(u[i])) continue;
        ++vowels;
        if (i > 0 || !has(u[i], kAlternateVowel)) ++normal_vowels;
    }
    return vowels <= 1 && normal_vowels == 0;
}

bool have_final_split(const uint8_t *u, int last) {
    int vowels = 0;
    for (int i = 0; i <= last; ++i)
        if (is_vowel(u[i])) ++vowels;
    return vowels == 1 && has(u[last], kNoFinalSplit);
}

}  // namespace vant::passwords
