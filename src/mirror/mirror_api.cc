// The exported C functions of the mirror module.
#include "mirror/mirror.h"

extern "C" {

void set_override_mode(int mode) {
    vant::mirror::set_override_mode(mode);
}

int get_override_mode(void) {
    return vant::mirror::get_override_mode();
}

void set_open_lock(int on) {
    vant::mirror::set_open_lock(on);
}

int get_open_lock(void) {
    return vant::mirror::get_open_lock();
}

void set_write_mode(int mode) {
    vant::mirror::set_write_mode(mode);
}

int get_write_mode(void) {
    return vant::mirror::get_write_mode();
}

}  // extern "C"
