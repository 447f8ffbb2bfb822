// Random pronounceable words, built syllable by syllable.
#include <stdlib.h>
#include <string.h>

#include "frame/frame.h"
#include "passwords/generator.h"
#include "passwords/passwords.h"
#include "vant.h"

namespace vant::passwords {
namespace {

constexpr int kAttempts = 21;

struct GeneratorState {
    bool seeded;
};
GeneratorState state;

// The word and its hyphenated form as they grow.
struct WordText {
    char *word;
    char *hyphenated;
    size_t length = 0;
    size_t hyphenated_length = 0;

    void clear() {
        word[0] = hyphenated[0] = '\0';
        length = hyphenated_length = 0;
    }
    void append(const char *syllable, size_t n) {
        if (length > 0) hyphenated[hyphenated_length++] = '-';
        memcpy(word + length, syllable, n + 1);
        memcpy(hyphenated + hyphenated_length, syllable, n + 1);
        length += n;
        hyphenated_length += n;
    }
};

}  // namespace

bool improper_word(const uint8_t *u, int count) {
    for (int i = 1; i < count; ++i) {
        if (kDigram[u[i - 1]][u[i]] & kIllegalPair) return true;
        if (i < 2) continue;
        bool a = is_vowel(u[i - 2]), b = is_vowel(u[i - 1]), c = is_vowel(u[i]);
        if ((!a && !b && !c) || (a && !has(u[i - 2], kAlternateVowel) && b && c)) return true;
    }
    return false;
}

int get_word(char *word, char *hyphenated_word, uint16_t n, WordSpace &space) {
    WordText text{word, hyphenated_word};
    text.clear();
    uint8_t *units = space.word_units();
    int placed = 0;
    const unsigned limit = 4u * n + 34;
    for (unsigned tries = 0; text.length < n;) {
        int last = get_syllable(static_cast<uint16_t>(n - text.length), space);
        const uint8_t *syllable_units = space.syllable_units();
        size_t syllable_length = strlen(space.syllable());
        memcpy(units + placed, syllable_units, static_cast<size_t>(last) + 1);
        bool rejected =
            improper_word(units, placed + last + 1) ||
            (text.length == 0 && have_initial_y(syllable_units, last)) ||
            (text.length + syllable_length == n && have_final_split(syllable_units, last));
        if (!rejected) {
            text.append(space.syllable(), syllable_length);
            placed += last + 1;
        }
        if (++tries > limit) {
            text.clear();
            placed = 0;
            tries = 0;
        }
    }
    return placed;
}

}  // namespace vant::passwords

namespace vant::passwords {

int randomword(char *word, char *hyphenated_word, unsigned short minlen, unsigned short maxlen,
               int restricted, long seed) {
    using namespace vant::passwords;
    if (!state.seeded) {
        state.seeded = true;
        frame::check_auth_parameters();
        passwords::set_seed(seed);
    }
    if (minlen > maxlen) return -1;
    if (maxlen == 0) {
        word[0] = hyphenated_word[0] = '\0';
        return 0;
    }
    WordSpace space(maxlen);
    if (!space.ok()) return -1;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        uint16_t n = get_random(minlen, maxlen);
        get_word(word, hyphenated_word, n, space);
        if (!restricted || passwords::acceptable_password(word, nullptr)) return n;
    }
    frame::audit_security_failure(VANT_OBJ_PRPW, 1, kAttempts, "find acceptable random password",
                                  "Cannot find acceptable random password");
    exit(1);
}

}  // namespace vant::passwords
