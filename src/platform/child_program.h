// Running a program as a child and talking to it over its standard streams:
// a request written to its input, a bounded reply read from its output, and
// its end waited for.
#pragma once

#include <stddef.h>
#include <sys/types.h>

#include "platform/descriptor.h"

namespace vant::platform {

// What one of the child's standard streams is connected to.
enum class ChildStream {
    inherited,  // the caller's own
    pipe,       // a pipe to or from the caller
    null,       // /dev/null
};

struct ChildCommand {
    const char *path;  // a logical path, taken under the root
    const char *const *argv;
    const char *const *envp = nullptr;  // null: the caller's environment
    ChildStream input = ChildStream::inherited;
    ChildStream output = ChildStream::inherited;
    // Runs in the child after its streams are set up, just before the exec.
    void (*in_child)() = nullptr;
    // Runs in the child when the program cannot be executed, with the
    // exec's error; its result is the child's exit status (1 without it).
    int (*exec_failed)(int error) = nullptr;
};

class ChildProgram {
  public:
    ChildProgram() = default;
    ChildProgram(const ChildProgram &) = delete;
    ChildProgram &operator=(const ChildProgram &) = delete;
    // A child still running is waited for: none is left behind unreaped.
    ~ChildProgram();

    // False when no child could be made.
    bool start(const ChildCommand &command);
    // All of `data` to the child's input. A child that stops reading makes
    // this false, and never kills the caller with SIGPIPE.
    bool send(const void *data, size_t length);
    // The child sees the end of its input.
    void end_input();
    // What the child has written so far, up to `size`: 0 at the end of its
    // output, -1 on error.
    ssize_t receive(void *buffer, size_t size);
    // Whether the child's output has something to read (or has ended)
    // within `milliseconds`.
    bool output_ready(int milliseconds);
    // Reads the child's output through `buffer` and drops it, until its end
    // or `limit` bytes, so that a child that says more than is wanted can
    // neither hold the caller nor die of SIGPIPE for it. What is left in
    // `buffer` is the caller's to wipe.
    void discard(void *buffer, size_t size, size_t limit);
    // Closes both pipes and waits for the child: its id and `status`, or -1.
    pid_t wait(int &status);

  private:
    pid_t pid_ = -1;
    Descriptor input_;   // our end of the child's standard input
    Descriptor output_;  // our end of the child's standard output
};

}  // namespace vant::platform
