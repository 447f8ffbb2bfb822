// The exported C functions of the output module.
#include "output/output.h"

extern "C" {

void printbuf(const char *text, int indent, const char *separators) {
    vant::output::printbuf(text, indent, separators);
}

}  // extern "C"
