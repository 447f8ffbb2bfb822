#include "platform/transfer.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

namespace vant::test {
namespace {

// A pipe holds less than this, so both ends see short counts.
constexpr size_t kLarge = 1 << 18;

TEST(TransferTest, WholeBufferCrossesAPipeInShortPieces) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string sent(kLarge, 'x');
    sent[kLarge - 1] = 'y';
    pid_t writer = fork();
    if (writer == 0) {
        close(ends[0]);
        _exit(platform::write_all(ends[1], sent.data(), sent.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string got(kLarge + 10, '\0');
    EXPECT_EQ(platform::read_full(ends[0], got.data(), got.size()), static_cast<ssize_t>(kLarge));
    got.resize(kLarge);
    EXPECT_EQ(got, sent);
    close(ends[0]);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    EXPECT_EQ(status, 0);
}

TEST(TransferTest, PositionalReadFailsWhenTheFileEndsFirst) {
    char name[] = "/tmp/vant_transfer_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    unlink(name);
    ASSERT_TRUE(platform::pwrite_all(fd, "abcdef", 6, 4));
    char got[6] = {};
    EXPECT_TRUE(platform::pread_all(fd, got, 6, 4));
    EXPECT_EQ(std::string(got, 6), "abcdef");
    EXPECT_FALSE(platform::pread_all(fd, got, 6, 5));
    close(fd);
}

}  // namespace
}  // namespace vant::test
