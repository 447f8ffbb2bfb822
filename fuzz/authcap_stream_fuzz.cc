// The authcap entry reader on a stream, and the field getters on each
// entry it returns.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "support/fuzz_root.h"

namespace {

constexpr int kMostEntries = 64;
constexpr int kObjects[] = {VANT_OBJ_PRPW, VANT_OBJ_TTYS, VANT_OBJ_FILES, VANT_OBJ_DEVASSIGN,
                            VANT_OBJ_DEFAULT};
constexpr const char *kStrings[] = {"u_name", "t_devname", "v_devs", "d_name", "f_owner"};
constexpr const char *kNumbers[] = {"u_id", "u_maxlen", "t_lock", "f_mode"};

void read_fields() {
    namespace authdb = vant::authdb;
    authdb::agetflag("u_lock");
    long value;
    for (const char *id : kNumbers)
        authdb::agtnum(id, &value);
    authdb::agetuid("u_id");
    authdb::agetgid("f_group");
    for (const char *id : kStrings) {
        char area[VANT_AUTHCAP_MAX];
        char *at = area;
        char *text = authdb::agetstr(id, &at);
        if (text != nullptr) free(authdb::agetstrlist(text));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root();
    fuzz::Input in(data, size);
    std::string text = in.rest();
    FILE *fp = fmemopen(text.data(), text.size(), "r");
    if (fp == nullptr) return 0;
    int object = kObjects[in.choice() % std::size(kObjects)];
    const char *name = in.choice() & 0x80 ? "alice" : nullptr;
    char *buf = nullptr;
    int len = 0;
    long pos = 0;
    for (int i = 0; i < kMostEntries && authdb::agetent(&buf, &len, name, object, &pos, fp) == 1;
         ++i)
        read_fields();
    authdb::set_current_entry(nullptr);
    free(buf);
    fclose(fp);
    fuzz::end_input();
    return 0;
}
