// Long-password encryption, with crypt itself as the oracle: it verifies
// keys against hashes in the segment-chained format.
#include <crypt.h>

#include <random>
#include <string>

#include "passwords/passwords_fixture.h"

namespace vant::test {
namespace {

class BigcryptTest : public PasswordsTest {
  protected:
    static std::string encrypt(const std::string &key, const char *salt = "ab") {
        return bigcryptmax(key.c_str(), salt);
    }
};

TEST_F(BigcryptTest, OneBlockOfElevenPerSegmentOfEight) {
    struct Row {
        size_t key, hash;
    } rows[] = {{0, 13}, {8, 13}, {9, 24}, {16, 24}, {17, 35}, {73, 112}, {80, 112}, {81, 112}};
    for (const Row &r : rows)
        EXPECT_EQ(encrypt(std::string(r.key, 'k')).size(), r.hash) << r.key;
    // The first block is plain crypt; so is the empty key.
    EXPECT_EQ(encrypt(""), std::string(crypt("", "ab")));
    EXPECT_EQ(encrypt("password1").substr(0, 13), std::string(crypt("password", "ab")));
}

TEST_F(BigcryptTest, CryptVerifiesEveryResult) {
    std::mt19937 random(181);
    const char alphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (size_t length = 0; length <= 80; ++length) {
        std::string key;
        for (size_t i = 0; i < length; ++i)
            key += static_cast<char>(' ' + random() % 95);
        char salt[3] = {alphabet[random() % 64], alphabet[random() % 64], '\0'};
        std::string h = encrypt(key, salt);
        ASSERT_EQ(h.size(), 2 + 11 * (length == 0 ? 1 : (length + 7) / 8)) << key;
        EXPECT_EQ(std::string(crypt(key.c_str(), h.c_str())), h) << key;
        // The stored hash serves as the salt.
        EXPECT_EQ(encrypt(key, h.c_str()), h) << key;
    }
}

TEST_F(BigcryptTest, CharactersBeyondEightyAreIgnoredAndTheTailIsCleared) {
    std::string key(80, 'q');
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<char>('a' + i % 26);
    std::string h = encrypt(key);
    EXPECT_EQ(encrypt(key + "more"), h);
    EXPECT_EQ(encrypt(key + std::string(1000, 'z')), h);
    EXPECT_NE(encrypt(key.substr(0, 79) + "!"), h);
    const char *result = bigcryptmax("short", "ab");
    for (size_t i = 13; i < 113; ++i)
        ASSERT_EQ(result[i], '\0') << i;
}

TEST_F(BigcryptTest, SaltThatCryptRefusesMatchesNothing) {
    EXPECT_EQ(encrypt("secret", "*"), "*0");
    EXPECT_EQ(encrypt("secret", ""), "*0");
    EXPECT_EQ(encrypt("secret", "!!"), "*0");
    EXPECT_EQ(encrypt("secret", "*0"), "*1");
    EXPECT_EQ(encrypt("", "*"), "*0");
}

// The System Default entry's segment count limits what counts of a key.
TEST_F(BigcryptTest, ConfiguredSegmentsLimitTheKey) {
    box.write("/etc/auth/system/authorize", "auth:passwd\n");
    box.write("/etc/auth/system/default", "default:d_name=default:chkent:\n");
    std::string whole = bigcrypt("password1234", "ab");
    EXPECT_EQ(whole, encrypt("password1234"));
    EXPECT_EQ(whole.size(), 24u);
    box.write("/etc/auth/system/default", "default:d_name=default:u_pwseg#1:chkent:\n");
    char key[] = "password1234";
    std::string limited = bigcrypt(key, "ab");
    EXPECT_STREQ(key, "password1234");
    EXPECT_EQ(limited, encrypt("password"));
}

}  // namespace
}  // namespace vant::test
