// Stands in for the audit delivery program: appends one record per run to
// the file named by VANT_RECORDER_LOG. A record is its argument lines, then
// what it found about the descriptor of argument 8 and its signal mask.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

const char *descriptor_state(int argc, char **argv) {
    if (argc <= 8) return "none";
    int fd = atoi(argv[8]);
    if (fd < 0) return "closed";
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return "closed";
    return (flags & O_ACCMODE) == O_RDONLY ? "read-only" : "writable";
}

int main(int argc, char **argv) {
    const char *log = getenv("VANT_RECORDER_LOG");
    if (log == nullptr) return 2;
    FILE *out = fopen(log, "a");
    if (out == nullptr) return 2;
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    for (int i = 0; i < argc; ++i)
        fprintf(out, "%s\n", argv[i]);
    fprintf(out, "@fd %s\n", descriptor_state(argc, argv));
    fprintf(out, "@sigterm %s\n", sigismember(&blocked, SIGTERM) ? "blocked" : "open");
    fprintf(out, "@end\n");
    return fclose(out) == 0 ? 0 : 2;
}
