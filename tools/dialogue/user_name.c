#include "user_name.h"

#include <string.h>

int valid_user_name(const char *name) {
    return name[0] != '\0' && strpbrk(name, ":\n") == NULL;
}
