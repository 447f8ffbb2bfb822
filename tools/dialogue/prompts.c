#include "prompts.h"

#include <stdio.h>
#include <string.h>
#include <vant.h>

enum { PASSWORD_MAX = 80 };

int ask_line(const char *question, char *line, size_t size) {
    fputs(question, stdout);
    fflush(stdout);
    if (fgets(line, (int)size, stdin) == NULL) return 0;
    size_t length = strcspn(line, "\n");
    if (line[length] != '\n' && length + 1 == size) {
        int c;
        while ((c = getchar()) != EOF && c != '\n') {
        }
    }
    line[length] = '\0';
    return 1;
}

int ask_password(const char *prompt, char *password) {
    const char *typed = getpasswd(prompt, PASSWORD_MAX);
    if (typed == NULL || (pw_was_eof() && typed[0] == '\0')) return 0;
    snprintf(password, PASSWORD_MAX + 1, "%s", typed);
    getpasswd(NULL, 0);
    return 1;
}

void forget_password(char *password, size_t size) {
    explicit_bzero(password, size);
}
