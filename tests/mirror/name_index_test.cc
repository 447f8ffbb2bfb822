// The name index must never change an answer: every lookup through it is
// compared with the circular search from the same position on a fresh
// stream of the same file.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "mirror/line_finder.h"
#include "platform/clock.h"
#include "support/child.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

constexpr const char *kPasswd = "/etc/passwd";
constexpr const char *kShadow = "/etc/shadow";
constexpr const char *kPasswdIndex = "/etc/auth/system/pw_name_index";

// Files written by the tests count as settled: the index is not trusted
// for a file changed within the last second.
time_t later_clock() {
    return time(nullptr) + 100;
}

struct Answer {
    int result;
    std::string line;
    long position;
    bool operator==(const Answer &) const = default;
};

void PrintTo(const Answer &a, std::ostream *out) {
    *out << a.result << " \"" << a.line.substr(0, 40) << "\" then at " << a.position;
}

Answer answer_of(int result, FILE *stream) {
    const char *line = mirror::found_line();
    return {result, line != nullptr ? line : "(none)", ftell(stream)};
}

// Duplicates, prefixes of other names, a name alone on its line, an empty
// first field, a NUL inside a first field, lines longer than the finder
// keeps, and a last line without a newline.
std::string generated_file(unsigned seed) {
    std::mt19937 pick(seed);
    std::string text;
    for (int i = 0; i < 400; ++i) {
        std::string name = "u" + std::to_string(pick() % 150);
        switch (pick() % 12) {
            case 0:
                text += name + ":" + std::string(1500 + pick() % 600, 'x') + "\n";
                break;
            case 1:
                text += name + "\n";
                break;
            case 2:
                text += ":x:" + name + "\n";
                break;
            case 3:
                text += name + std::string(1, '\0') + ":nul\n";
                break;
            case 4:
                text += std::string(1022 + pick() % 3, 'w') + ":cut\n";
                break;
            default:
                text += name + ":x:" + std::to_string(i) + ":100::/home/" + name + ":/bin/sh\n";
        }
    }
    return text + "u7:last line";
}

std::vector<std::string> wanted_names(unsigned seed) {
    std::mt19937 pick(seed);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("u" + std::to_string(pick() % 160));
    names.insert(names.end(), {"nosuch", std::string(1022, 'w'), "u1:x", ""});
    return names;
}

class NameIndexTest : public SandboxTest {
  protected:
    void SetUp() override { platform::set_clock_function(later_clock); }
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

    // The lookup through the index, against the scan of the same file from
    // the same position.
    static void expect_same(FILE *stream, const char *path, const std::string &name) {
        long position = ftell(stream);
        Answer indexed = answer_of(mirror::find_user_line(name.c_str(), stream, path), stream);
        // The file the stream reads, whatever now has its name.
        FILE *fresh = fopen(("/proc/self/fd/" + std::to_string(fileno(stream))).c_str(), "r");
        ASSERT_NE(fresh, nullptr);
        fseek(fresh, position, SEEK_SET);
        Answer scanned = answer_of(mirror::find_line(name.c_str(), ':', fresh, nullptr), fresh);
        fclose(fresh);
        EXPECT_EQ(indexed, scanned) << "name " << name << " from " << position;
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

TEST_F(NameIndexTest, FilesChangedByAnotherProgramBetweenLookups) {
    box.write(kPasswd, generated_file(4));
    open(kPasswd);
    expect_same_all(kPasswd, 4);

    box.write(kPasswd, generated_file(5));  // in place: the stream sees it
    expect_same_all(kPasswd, 5);

    std::string text = generated_file(6);
    box.write("/etc/passwd.new", text);
    ASSERT_EQ(rename(box.path("/etc/passwd.new").c_str(), box.path(kPasswd).c_str()), 0);
    expect_same_all(kPasswd, 6);  // the stream still reads the file it opened
    open(kPasswd);
    expect_same_all(kPasswd, 7);
    ASSERT_EQ(truncate(box.path(kPasswd).c_str(), static_cast<off_t>(text.size() / 3)), 0);
    expect_same_all(kPasswd, 8);
}

// The file is rewritten in place to the same size and given back its
// modification time, so the index built before carries its stamp; the
// index then sends "d" to its second line, which also begins with "d".
class PlantedIndexTest : public NameIndexTest {
  protected:
    void plant() {
        box.write(kPasswd, "e:1\nd:2\nd:3\n");
        struct stat before;
        ASSERT_EQ(stat(box.path(kPasswd).c_str(), &before), 0);
        open(kPasswd);
        ASSERT_EQ(mirror::find_user_line("e", stream_, kPasswd), 0);
        ASSERT_TRUE(box.exists(kPasswdIndex));
        FILE *f = fopen(box.path(kPasswd).c_str(), "r+");
        ASSERT_NE(f, nullptr);
        fputs("d:1\nd:2\nd:3\n", f);
        fclose(f);
        struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, box.path(kPasswd).c_str(), times, 0), 0);
    }
    std::string first_d() {
        rewind(stream_);
        mirror::find_user_line("d", stream_, kPasswd);
        return mirror::found_line() != nullptr ? mirror::found_line() : "(none)";
    }
};

// Why the owner and mode matter: a stamp can be forged.
TEST_F(PlantedIndexTest, IsBelievedOnlyWithItsOwnerAndMode) {
    plant();
    EXPECT_EQ(first_d(), "d:2");
    ASSERT_EQ(chmod(box.path(kPasswdIndex).c_str(), 0666), 0);
    EXPECT_EQ(first_d(), "d:1");
    if (geteuid() != 0) return;  // needs root to give the index away
    plant();
    ASSERT_EQ(chown(box.path(kPasswdIndex).c_str(), 4321, 4321), 0);
    EXPECT_EQ(first_d(), "d:1");
}

TEST_F(NameIndexTest, WrongOffsetsOrAnotherFilesStampAreNeverTrusted) {
    box.write(kShadow, generated_file(9));
    box.write(kPasswd, generated_file(10));
    open(kShadow);
    expect_same_all(kShadow, 9);
    std::string shadow_index = box.read("/etc/auth/system/sh_name_index");
    open(kPasswd);
    for (std::string planted : {shadow_index, std::string(shadow_index.size(), '\x01')}) {
        box.write(kPasswdIndex, planted, 0644);
        expect_same_all(kPasswd, 10);
    }
}

// Rebuilds are forced by removing the index while several processes look
// names up; the index left behind must then serve without a rebuild.
TEST_F(NameIndexTest, ConcurrentRebuildsLeaveOneValidIndex) {
    box.write(kPasswd, generated_file(11));
    std::string host = box.path(kPasswd), index = box.path(kPasswdIndex);
    auto work = [&](int child) {
        FILE *stream = fopen(host.c_str(), "r");
        for (int round = 0; round < 20; ++round) {
            if (round % 5 == child) unlink(index.c_str());
            for (const std::string &name : wanted_names(round))
                expect_same(stream, kPasswd, name);
        }
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    };
    fflush(nullptr);
    std::vector<pid_t> children;
    for (int child = 0; child < 3; ++child) {
        pid_t pid = fork();
        if (pid == 0) work(child);
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

}  // namespace
}  // namespace vant::test
