#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "passwords/generator.h"
#include "passwords/passwords_fixture.h"

namespace vant::test {
namespace {

using passwords::kUnits;

using GeneratorTest = PasswordsTest;
char word[64], hyphenated[128];

TEST(UnstartedTest, ToolsEndAnUnstartedClient) {
    auto r = run_child([] { get_seed(); });
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "set_auth_parameters(S) has not been called, see identity(S)\n");
}

bool vowel(uint8_t unit) {
    return kUnits[unit].flags & passwords::kVowel;
}

// Legal pairs, no three consonants, no three vowels but after a y; hyphens
// neither doubled nor at an end.
TEST_F(GeneratorTest, WordsKeepTheRules) {
    set_seed(1);
    passwords::WordSpace space(16);
    ASSERT_TRUE(space.ok());
    for (uint16_t n = 1; n <= 16; ++n) {
        for (int k = 0; k < 150; ++k) {
            int count = passwords::get_word(word, hyphenated, n, space);
            const uint8_t *u = space.word_units();
            std::string spelt = count > 0 ? kUnits[u[0]].text : "", h = hyphenated;
            for (int i = 1; i < count; ++i) {
                spelt += kUnits[u[i]].text;
                ASSERT_FALSE(passwords::kDigram[u[i - 1]][u[i]] & passwords::kIllegalPair) << word;
                if (i == 1) continue;
                ASSERT_TRUE(vowel(u[i - 2]) || vowel(u[i - 1]) || vowel(u[i])) << word;
                ASSERT_FALSE(vowel(u[i - 2]) && strcmp(kUnits[u[i - 2]].text, "y") != 0 &&
                             vowel(u[i - 1]) && vowel(u[i]))
                    << word;
            }
            ASSERT_EQ(spelt, word);
            ASSERT_TRUE(h.front() != '-' && h.back() != '-' && h.find("--") == h.npos) << h;
            h.erase(std::remove(h.begin(), h.end(), '-'), h.end());
            ASSERT_EQ(h, word);
        }
    }
}

// One vowel group a syllable, but for a final e; a leading y of a longer
// syllable is a consonant. Units are separated by spaces.
TEST_F(GeneratorTest, SyllableRules) {
    auto illegal = [](const std::string &spaced) {
        std::vector<uint8_t> u;
        for (size_t at = 0; at < spaced.size();) {
            size_t end = std::min(spaced.find(' ', at), spaced.size());
            for (uint8_t unit = 0; unit < passwords::kUnitCount; ++unit)
                if (spaced.compare(at, end - at, kUnits[unit].text) == 0) u.push_back(unit);
            at = end + 1;
        }
        return passwords::illegal_placement(u.data(), static_cast<int>(u.size()) - 1);
    };
    for (const char *s : {"b a b a", "b e b a", "a y b a", "s t r a", "a e i"})
        EXPECT_TRUE(illegal(s)) << s;
    for (const char *s : {"b a b e", "y b a", "th r o", "y a o"})
        EXPECT_FALSE(illegal(s)) << s;
}

TEST_F(GeneratorTest, LengthsStayWithinBounds) {
    std::set<std::string> words;
    for (int k = 0; k < 400; ++k) {
        int n = randomword(word, hyphenated, k < 300 ? 2 : 1, k < 300 ? 5 : 1, 0, 42);
        ASSERT_EQ(strlen(word), static_cast<size_t>(n));
        words.insert(k < 300 ? std::to_string(n) : word);
    }
    EXPECT_EQ(words, (std::set<std::string>{"2", "3", "4", "5", "a", "i", "o", "u"}));
    strcpy(word, "keep");
    EXPECT_EQ(randomword(word, hyphenated, 5, 4, 0, 1), -1);
    EXPECT_STREQ(word, "keep");
}

// Checked by hand against the tables; only the first call seeds.
TEST_F(GeneratorTest, SeedDeterminesTheWords) {
    for (const char *expected :
         {"fib-je-fryn", "nets-ea", "jef-uj-fo", "wof-eb-caws", "greds-ed"}) {
        randomword(word, hyphenated, 6, 10, 0, 181);
        EXPECT_STREQ(hyphenated, expected);
    }
}

TEST_F(GeneratorTest, RestrictedWordsAreAcceptableOrTheProcessEndsAudited) {
    box.write("/usr/bin/spell", "cat\n");  // every word is misspelt
    for (int k = 0; k < 40; ++k) {
        ASSERT_GE(randomword(word, hyphenated, 3, 4, 1, 3), 3);
        EXPECT_EQ(acceptable_password(word, nullptr), 1) << word;
    }
    box.write("/usr/bin/spell", "cat > /dev/null\n");  // every word is spelt
    auto r = run_child([] { randomword(word, hyphenated, 8, 8, 1, 1); });
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(
        record_arguments(box.recorder_log()),
        (std::vector<std::vector<std::string>>{{"14", "1", "21", "find acceptable random password",
                                                "Cannot find acceptable random password"}}));
}

}  // namespace
}  // namespace vant::test
