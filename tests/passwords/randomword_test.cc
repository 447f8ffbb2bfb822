// Tests of the pronounceable password generator: its rules checked on many
// generated words, and a few words pinned for one seed.
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "passwords/checker.h"
#include "passwords/generator.h"
#include "support/child.h"
#include "support/recorder_log.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

using passwords::kDigram;
using passwords::kUnits;

char kProgram[] = "/usr/bin/passwd";
char *kArgv[] = {kProgram, nullptr};

bool vowel(uint8_t unit) {
    return kUnits[unit].flags & passwords::kVowel;
}
bool is(uint8_t unit, const char *text) {
    return strcmp(kUnits[unit].text, text) == 0;
}

// The rules every word must keep, checked on its units.
void expect_pronounceable(const uint8_t *u, int count, const std::string &word) {
    std::string spelt;
    for (int i = 0; i < count; ++i) {
        spelt += kUnits[u[i]].text;
        if (i == 0) continue;
        EXPECT_FALSE(kDigram[u[i - 1]][u[i]] & passwords::kIllegalPair) << word;
        if (i == 1) continue;
        EXPECT_TRUE(vowel(u[i - 2]) || vowel(u[i - 1]) || vowel(u[i])) << word;
        EXPECT_FALSE(vowel(u[i - 2]) && !is(u[i - 2], "y") && vowel(u[i - 1]) && vowel(u[i]))
            << word;
    }
    EXPECT_EQ(spelt, word);
}

void expect_hyphenated(const std::string &word, const std::string &hyphenated) {
    EXPECT_NE(hyphenated.front(), '-') << hyphenated;
    EXPECT_NE(hyphenated.back(), '-') << hyphenated;
    EXPECT_EQ(hyphenated.find("--"), std::string::npos) << hyphenated;
    std::string joined;
    for (char c : hyphenated)
        if (c != '-') joined += c;
    EXPECT_EQ(joined, word);
}

class RandomwordTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(set_auth_parameters(1, kArgv), 0); }
    char word[64];
    char hyphenated[128];
};

TEST_F(RandomwordTest, WordsKeepTheRules) {
    set_seed(1);
    passwords::WordSpace space(16);
    ASSERT_TRUE(space.ok());
    for (uint16_t n = 1; n <= 16; ++n) {
        for (int k = 0; k < 150; ++k) {
            int count = passwords::get_word(word, hyphenated, n, space);
            ASSERT_EQ(strlen(word), n);
            expect_pronounceable(space.word_units(), count, word);
            expect_hyphenated(word, hyphenated);
        }
    }
}

// A syllable given as its units' letters, separated by spaces.
bool illegal_placement(const std::string &spaced) {
    std::vector<uint8_t> u;
    for (size_t at = 0; at < spaced.size();) {
        size_t end = std::min(spaced.find(' ', at), spaced.size());
        for (uint8_t unit = 0; unit < passwords::kUnitCount; ++unit)
            if (spaced.compare(at, end - at, kUnits[unit].text) == 0) u.push_back(unit);
        at = end + 1;
    }
    return passwords::illegal_placement(u.data(), static_cast<int>(u.size()) - 1);
}

// Within a syllable the vowels form one group, but for a final e; a y that
// begins a syllable of more units counts as a consonant.
TEST_F(RandomwordTest, SyllableRules) {
    EXPECT_TRUE(illegal_placement("b a b a"));
    EXPECT_TRUE(illegal_placement("b e b a"));
    EXPECT_FALSE(illegal_placement("b a b e"));
    EXPECT_FALSE(illegal_placement("y b a"));
    EXPECT_TRUE(illegal_placement("a y b a"));
    EXPECT_TRUE(illegal_placement("s t r a"));
    EXPECT_FALSE(illegal_placement("th r o"));
    EXPECT_TRUE(illegal_placement("a e i"));
    EXPECT_FALSE(illegal_placement("y a o"));
}

TEST_F(RandomwordTest, LengthsStayWithinBounds) {
    int seen[6] = {};
    for (int k = 0; k < 400; ++k) {
        int n = randomword(word, hyphenated, 2, 5, 0, 42);
        ASSERT_GE(n, 2);
        ASSERT_LE(n, 5);
        ASSERT_EQ(strlen(word), static_cast<size_t>(n));
        ASSERT_LT(strlen(hyphenated), 2u * 5);
        expect_hyphenated(word, hyphenated);
        ++seen[n];
    }
    for (int n = 2; n <= 5; ++n)
        EXPECT_GT(seen[n], 0) << n;
}

TEST_F(RandomwordTest, OneLetterWordsAreVowelsOtherThanEAndY) {
    std::set<std::string> words;
    for (int k = 0; k < 300; ++k) {
        ASSERT_EQ(randomword(word, hyphenated, 1, 1, 0, 7), 1);
        EXPECT_STREQ(hyphenated, word);
        words.insert(word);
    }
    EXPECT_EQ(words, (std::set<std::string>{"a", "i", "o", "u"}));
}

TEST_F(RandomwordTest, EmptyAndInvertedBounds) {
    strcpy(word, "keep");
    strcpy(hyphenated, "keep");
    EXPECT_EQ(randomword(word, hyphenated, 5, 4, 0, 1), -1);
    EXPECT_STREQ(word, "keep");
    EXPECT_STREQ(hyphenated, "keep");
    EXPECT_EQ(randomword(word, hyphenated, 0, 0, 0, 1), 0);
    EXPECT_STREQ(word, "");
    EXPECT_STREQ(hyphenated, "");
}

// Checked by hand against the unit and pair tables: each pair is legal, no
// three consonants meet, and the syllables split where the pairs say.
TEST_F(RandomwordTest, SeedDeterminesTheWords) {
    const char *const expected[][2] = {{"fibjefryn", "fib-je-fryn"}, {"netsea", "nets-ea"},
                                       {"jefujfo", "jef-uj-fo"},     {"wofebcaws", "wof-eb-caws"},
                                       {"gredsed", "greds-ed"},      {"sijbeshund", "sij-besh-und"},
                                       {"yamloma", "yam-lom-a"},     {"avecterk", "av-ect-erk"}};
    for (const auto &e : expected) {
        int n = randomword(word, hyphenated, 6, 10, 0, 181);
        EXPECT_EQ(n, static_cast<int>(strlen(e[0])));
        EXPECT_STREQ(word, e[0]);
        EXPECT_STREQ(hyphenated, e[1]);
    }
}

TEST_F(RandomwordTest, OnlyTheFirstCallSeeds) {
    auto words = [](long first_seed, long later_seed) {
        return run_child([=] {
            char w[16], h[32];
            randomword(w, h, 8, 8, 0, first_seed);
            printf("%s ", w);
            for (int k = 0; k < 3; ++k) {
                randomword(w, h, 8, 8, 0, later_seed);
                printf("%s ", w);
            }
        });
    };
    std::string same = words(5, 5).out;
    EXPECT_EQ(words(5, 99).out, same);
    EXPECT_NE(words(6, 5).out, same);
}

TEST_F(RandomwordTest, RestrictedWordsAreAcceptable) {
    install_unknowing_checker(box);
    for (int k = 0; k < 40; ++k) {
        int n = randomword(word, hyphenated, 3, 4, 1, 3);
        ASSERT_GE(n, 3);
        EXPECT_EQ(acceptable_password(word, nullptr), 1) << word;
    }
}

TEST_F(RandomwordTest, NoAcceptableWordEndsTheProcessAudited) {
    box.install_recorder();
    box.write("/usr/bin/spell", "cat > /dev/null\n");  // every word is spelt
    auto r = run_child([this] { randomword(word, hyphenated, 8, 8, 1, 1); });
    EXPECT_EQ(r.exit_status, 1);
    auto deliveries = read_deliveries(box.recorder_log());
    ASSERT_EQ(deliveries.size(), 1u);
    ASSERT_GE(deliveries[0].args.size(), 9u);
    std::vector<std::string> own(deliveries[0].args.begin() + 9, deliveries[0].args.end());
    EXPECT_EQ(own, (std::vector<std::string>{"14", "1", "21", "find acceptable random password",
                                             "Cannot find acceptable random password"}));
}

}  // namespace
}  // namespace vant::test
