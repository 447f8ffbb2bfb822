// The exported C functions of the passwords module.
#include "passwords/passwords.h"

extern "C" {

int acceptable_password(const char *password, FILE *stream) {
    return vant::passwords::acceptable_password(password, stream);
}

char *bigcryptmax(const char *key, const char *salt) {
    return vant::passwords::bigcryptmax(key, salt);
}

char *bigcrypt(const char *key, const char *salt) {
    return vant::passwords::bigcrypt(key, salt);
}

char *getpasswd(const char *prompt, int maxlen) {
    return vant::passwords::getpasswd(prompt, maxlen);
}

char *fgetpasswd(const char *prompt, int maxlen, FILE *in, FILE *out) {
    return vant::passwords::fgetpasswd(prompt, maxlen, in, out);
}

int pw_was_eof(void) {
    return vant::passwords::pw_was_eof();
}

int randomword(char *word, char *hyphenated_word, unsigned short minlen, unsigned short maxlen,
               int restricted, long seed) {
    return vant::passwords::randomword(word, hyphenated_word, minlen, maxlen, restricted, seed);
}

int passlen(int lifetime, int delay, int alphabet) {
    return vant::passwords::passlen(lifetime, delay, alphabet);
}

long get_seed(void) {
    return vant::passwords::get_seed();
}

void set_seed(long seed) {
    vant::passwords::set_seed(seed);
}

}  // extern "C"
