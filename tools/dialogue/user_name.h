/* The user names the programs accept on their command lines. */
#ifndef VANT_DIALOGUE_USER_NAME_H
#define VANT_DIALOGUE_USER_NAME_H

/* 1 for a name an entry may have: not empty, no ':', no newline. */
int valid_user_name(const char *name);

#endif
