// The name index must never change an answer: each lookup through it is
// compared with the scan from the same position of the same file.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "mirror/mirror_fixture.h"
#include "mirror/user_by_name.h"
#include "platform/accounts.h"
#include "platform/clock.h"

namespace vant::test {
namespace {

constexpr const char *kPasswdIndex = "/etc/auth/system/pw_name_index";

// What a search answered, where it left the stream, and the line found.
std::string answer_of(int result, FILE *stream) {
    const char *line = mirror::found_line();
    return std::to_string(result) + " at " + std::to_string(ftell(stream)) + ": " +
           (line != nullptr ? line : "(none)");
}

// Duplicates, prefixes, bare names, empty first fields, NULs, overlong lines,
// lines the parser skips, no last newline; `extra` leads with a line that
// makes the index step aside.
std::string generated_file(unsigned seed, const std::string &extra = "") {
    std::mt19937 pick(seed);
    std::string text = extra;
    for (int i = 0; i < 400; ++i) {
        std::string name = "u" + std::to_string(pick() % 150);
        const std::string lines[] = {
            name + ":" + std::string(1500 + pick() % 600, 'x') + ":7:7::/:",
            name,
            ":x:" + name,
            name + std::string(1, '\0') + ":nul",
            std::string(1022 + pick() % 3, 'w') + ":cut",
            name + ":x:uid:100::/:/bin/sh",
            name + ":x",
            "#" + name + ":x:1:1::/:"};
        size_t kind = pick() % 16;
        text +=
            (kind < 8 ? lines[kind]
                      : name + ":x:" + std::to_string(i) + ":100:g:/home/" + name + ":/bin/sh") +
            "\n";
    }
    return text + "last:x:9:9::/:/bin/sh";
}

std::vector<std::string> wanted_names(unsigned seed) {
    std::mt19937 pick(seed);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("u" + std::to_string(pick() % 160));
    names.insert(names.end(), {"last", "nosuch", std::string(1022, 'w'), "u1:x", ""});
    return names;
}

void expect_same(FILE *stream, const char *path, const std::string &name) {
    long position = ftell(stream);
    std::string indexed = answer_of(mirror::find_user_line(name.c_str(), stream, path), stream);
    FILE *fresh = fopen(("/proc/self/fd/" + std::to_string(fileno(stream))).c_str(), "r");
    ASSERT_NE(fresh, nullptr);
    fseek(fresh, position, SEEK_SET);
    std::string scanned = answer_of(mirror::find_line(name.c_str(), ':', fresh, nullptr), fresh);
    fclose(fresh);
    EXPECT_EQ(indexed, scanned) << "name " << name << " from " << position;
}

class NameIndexTest : public SandboxTest {
  protected:
    // The index is not trusted for a file changed within the last second.
    void SetUp() override {
        platform::set_clock_function([] { return time(nullptr) + 100; });
    }
    void TearDown() override {
        if (stream_ != nullptr) fclose(stream_);
        platform::set_clock_function(nullptr);
    }
    FILE *open(const char *path) {
        if (stream_ != nullptr) fclose(stream_);
        stream_ = fopen(box.path(path).c_str(), "r");
        EXPECT_NE(stream_, nullptr);
        return stream_;
    }
    void expect_same_all(const char *path, unsigned seed) {
        for (const std::string &name : wanted_names(seed))
            expect_same(stream_, path, name);
    }
    FILE *stream_ = nullptr;
};

TEST_F(NameIndexTest, EveryAnswerIsTheScansOverGeneratedFiles) {
    for (const char *path : {kPasswd, kShadow}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            box.write(path, generated_file(seed));
            open(path);
            expect_same_all(path, seed);
            expect_same_all(path, seed + 10);       // from wherever the first run left it
            for (long inside : {1L, 17L, 1000L}) {  // a search may begin inside a line
                fseek(stream_, inside, SEEK_SET);
                expect_same(stream_, path, "u" + std::to_string(inside % 150));
            }
        }
    }
    EXPECT_TRUE(box.exists(kPasswdIndex));
    EXPECT_TRUE(box.exists("/etc/auth/system/sh_name_index"));
}

// Replaced, truncated, or given another file's index or a garbled one: the index is never trusted
// past what it describes.
TEST_F(NameIndexTest, FilesChangedByAnotherProgramOrWrongIndexesBetweenLookups) {
    box.write(kPasswd, generated_file(4));
    open(kPasswd);
    expect_same_all(kPasswd, 4);
    std::string text = generated_file(6);
    box.write("/etc/passwd.new", text);
    ASSERT_EQ(rename(box.path("/etc/passwd.new").c_str(), box.path(kPasswd).c_str()), 0);
    expect_same_all(kPasswd, 6);  // the stream still reads the file it opened
    open(kPasswd);
    expect_same_all(kPasswd, 7);
    ASSERT_EQ(truncate(box.path(kPasswd).c_str(), static_cast<off_t>(text.size() / 3)), 0);
    expect_same_all(kPasswd, 8);

    box.write(kShadow, generated_file(9));
    open(kShadow);
    expect_same_all(kShadow, 9);
    std::string shadow_index = box.read("/etc/auth/system/sh_name_index");
    box.write(kPasswd, generated_file(10));
    open(kPasswd);
    for (std::string planted : {shadow_index, std::string(shadow_index.size(), '\x01')}) {
        box.write(kPasswdIndex, planted, 0644);
        expect_same_all(kPasswd, 10);
    }
}

// A forged stamp (rewritten in place to the same size and time) makes the
// index send "d" to its second line; the index is then believed only with
// its own mode.
TEST_F(NameIndexTest, APlantedIndexIsBelievedOnlyWithItsOwnMode) {
    box.write(kPasswd, "e:1\nd:2\nd:3\n");
    struct stat before;
    ASSERT_EQ(stat(box.path(kPasswd).c_str(), &before), 0);
    ASSERT_EQ(mirror::find_user_line("e", open(kPasswd), kPasswd), 0);
    FILE *f = fopen(box.path(kPasswd).c_str(), "r+");
    fputs("d:1\nd:2\nd:3\n", f);
    fclose(f);
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, box.path(kPasswd).c_str(), times, 0), 0);
    ASSERT_EQ(chmod(box.path(kPasswdIndex).c_str(), 0666), 0);
    rewind(stream_);
    mirror::find_user_line("d", stream_, kPasswd);
    EXPECT_STREQ(mirror::found_line(), "d:1");
}

// Rebuilds are forced by removing the index while several processes look
// names up; the index left behind must then serve without a rebuild.
TEST_F(NameIndexTest, ConcurrentRebuildsLeaveOneValidIndex) {
    box.write(kPasswd, generated_file(11));
    std::string host = box.path(kPasswd), index = box.path(kPasswdIndex);
    fflush(nullptr);
    std::vector<pid_t> children;
    for (int child = 0; child < 3; ++child) {
        pid_t pid = fork();
        if (pid == 0) {
            FILE *stream = fopen(host.c_str(), "r");
            for (int round = 0; round < 20; ++round) {
                if (round % 5 == child) unlink(index.c_str());
                for (const std::string &name : wanted_names(round))
                    expect_same(stream, kPasswd, name);
            }
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    Sandbox::Stamp built = box.stamp(kPasswdIndex);
    open(kPasswd);
    expect_same_all(kPasswd, 12);
    EXPECT_EQ(box.stamp(kPasswdIndex), built);
}

std::string fields(const struct passwd *pw) {
    if (pw == nullptr) return "(none)";
    return std::string(pw->pw_name) + ":" + pw->pw_passwd + ":" + std::to_string(pw->pw_uid) + ":" +
           std::to_string(pw->pw_gid) + ":" + pw->pw_gecos + ":" + pw->pw_dir + ":" + pw->pw_shell;
}

// A user looked up by name through the index is the C library's parse of
// the whole file, also for a file replaced since the index was built.
TEST_F(NameIndexTest, EveryUserByNameIsTheWholeFileParses) {
    for (const char *extra : {"", "  u5:x:555:1::/:\n", "+u6::::::\n"}) {
        SCOPED_TRACE(extra);
        for (unsigned seed : {1, 5}) {
            box.write(kPasswd, generated_file(seed, extra));
            for (int round = 0; round < 2; ++round)
                for (int i = 0; i < 152; ++i) {
                    std::string name = i < 150 ? "u" + std::to_string(i) : i == 150 ? "last" : "no";
                    EXPECT_EQ(fields(mirror::user_by_name(name.c_str())),
                              fields(platform::getpwnam(name.c_str())))
                        << name;
                }
        }
    }
}

}  // namespace
}  // namespace vant::test
