// crypt itself is the oracle: it verifies keys against segment-chained hashes.
#include <crypt.h>

#include <random>
#include <string>

#include "passwords/passwords_fixture.h"

namespace vant::test {
namespace {

using BigcryptTest = PasswordsTest;

TEST_F(BigcryptTest, CryptVerifiesEveryResult) {
    std::mt19937 random(181);
    const char alphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (size_t length = 0; length <= 80; ++length) {
        std::string key;
        for (size_t i = 0; i < length; ++i)
            key += static_cast<char>(' ' + random() % 95);
        char salt[3] = {alphabet[random() % 64], alphabet[random() % 64], '\0'};
        std::string h = bigcryptmax(key.c_str(), salt);
        ASSERT_EQ(h.size(), 2 + 11 * (length == 0 ? 1 : (length + 7) / 8)) << key;
        EXPECT_EQ(std::string(crypt(key.c_str(), h.c_str())), h) << key;
        EXPECT_EQ(bigcryptmax(key.c_str(), h.c_str()), h) << key;
        EXPECT_EQ(h.substr(0, 13), crypt(key.substr(0, 8).c_str(), salt)) << key;
    }
}

TEST_F(BigcryptTest, CharactersBeyondEightyAreIgnoredAndTheTailIsCleared) {
    const std::string key(80, 'q'), h = bigcryptmax(key.c_str(), "ab");
    EXPECT_EQ(h.size(), 112u);
    EXPECT_EQ(bigcryptmax((key + "more").c_str(), "ab"), h);
    EXPECT_NE(bigcryptmax((key.substr(0, 79) + "!").c_str(), "ab"), h);
    const char *result = bigcryptmax("short", "ab");
    for (size_t i = 13; i < 113; ++i)
        ASSERT_EQ(result[i], '\0') << i;
    EXPECT_STREQ(bigcryptmax("secret", "!!"), "*0");
    EXPECT_STREQ(bigcryptmax("secret", "*0"), "*1");
}

TEST_F(BigcryptTest, ConfiguredSegmentsLimitTheKey) {
    box.write("/etc/auth/system/authorize", "auth:passwd\n");
    box.write("/etc/auth/system/default", "default:d_name=default:chkent:\n");
    EXPECT_EQ(std::string(bigcrypt("password1234", "ab")),
              std::string(bigcryptmax("password1234", "ab")));
    box.write("/etc/auth/system/default", "default:d_name=default:u_pwseg#1:chkent:\n");
    char key[] = "password1234";
    EXPECT_EQ(std::string(bigcrypt(key, "ab")), std::string(bigcryptmax("password", "ab")));
    EXPECT_STREQ(key, "password1234");
}

}  // namespace
}  // namespace vant::test
