// The mirror module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::mirror {

void set_override_mode(int mode);
int get_override_mode(void);
void set_open_lock(int on);
int get_open_lock(void);
void set_write_mode(int mode);
int get_write_mode(void);

}  // namespace vant::mirror
