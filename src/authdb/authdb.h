// The authdb module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include <stdlib.h>

#include <memory>
#include <optional>

#include "vant.h"

namespace vant::authdb {

struct FreeText {
    void operator()(char *text) const { free(text); }
};
// The one owner of a text from the malloc family: a database path, a
// transition file's name, a copy of a name.
using OwnedText = std::unique_ptr<char, FreeText>;

// The names of an update's transition file ("-t") and of the link to the
// old version ("-o") beside a database.
struct TransitionNames {
    OwnedText new_name;
    OwnedText old_name;
};
// None for a null path, or (reported) when memory runs out.
std::optional<TransitionNames> make_transition_files(const char *path);
void asetdefaults(int which);
// The logical path of a database file; null for an object without one or a
// name that is not one file of its directory.
OwnedText find_auth_file(const char *name, int object);
void open_auth_file(const char *name, int object, FILE **result);
void end_authcap(int object);
int agetent(char **buf, int *len, const char *name, int object, long *pos, FILE *fp);
int agetuser(const char *name);
int agettty(long *pos, FILE *fp, const char *name);
char *agetfile(long *pos, FILE *fp, const char *name);
char *agetdvag(long *pos, FILE *fp, const char *name);
int agetdefault(void);
char *agetdefault_buf(void);
int agetflag(const char *id);
// The area holds VANT_AUTHCAP_MAX bytes; a longer value is cut to fit.
char *agetstr(const char *id, char **area);
int agtnum(const char *id, long *value);
int agetuid(const char *id);
int agetgid(const char *id);
char **agetstrlist(char *text);
void loadnamepair(unsigned int *mask, int highest, char *text, const struct namepair *table,
                  const char *description);
char *storenamepair(const unsigned int *mask, int highest, const struct namepair *table,
                    const char *description);
const char *storebool(int value);
int pr_newline(FILE *fp, int count, int *error);
int create_file_securely(const char *path, int how, const char *purpose);
// Whether the new version took the place of `path`; the names are used up
// either way.
bool replace_file(OwnedText new_name, const char *path, OwnedText old_name);
const char *cfs_to_string(int code);
const char *cfs_to_english_string(int code);
int setuid_least_privilege(void);
int locked_out(struct pr_passwd *pr);

}  // namespace vant::authdb
