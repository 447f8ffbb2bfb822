// Stands in for the password-quality checker: answers each request (lines
// up to an empty one) with the text of the file that VANT_FUZZ_REPLY names.
// A reply that does not end its line is followed by the end of the output,
// so that the library reads to an end instead of waiting for more.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

bool reply(const char *path) {
    FILE *in = fopen(path, "rb");
    if (in == nullptr) return false;
    char buffer[4096];
    size_t n, last = 0;
    char end = '\n';
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) {
        fwrite(buffer, 1, n, stdout);
        last = n;
        end = buffer[n - 1];
    }
    fclose(in);
    fflush(stdout);
    return last != 0 && end == '\n';
}

}  // namespace

int main() {
    const char *path = getenv("VANT_FUZZ_REPLY");
    if (path == nullptr) return 1;
    char *line = nullptr;
    size_t size = 0;
    while (getline(&line, &size, stdin) > 0)
        if (strcmp(line, "\n") == 0 && !reply(path)) break;
    free(line);
    return 0;
}
