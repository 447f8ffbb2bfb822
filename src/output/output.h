// The output module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include "vant.h"

namespace vant::output {

void printbuf(const char *text, int indent, const char *separators);

}  // namespace vant::output
