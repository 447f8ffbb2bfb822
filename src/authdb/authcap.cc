// The entry readers of each database, with the buffer each kind of entry
// is kept in, and the built-in System Default entry for a site that runs
// without the protected files.
#include <stdlib.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "authdb/default_stream.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::authdb {
namespace {

struct EntryBuffer {
    char *text;
    int size;
};

struct BufferState {
    EntryBuffer user_buf, tty_buf, file_buf, default_buf, devasg_buf;
};
constinit BufferState state{};

constexpr char kBuiltinDefault[] =
    "default:d_name=default:u_pwd=*:u_priority#0:u_cmdpriv=audittrail,su,queryspace,"
    "printerstat,printqueue,mem,terminal,shutdown:u_syspriv=suspendaudit,execsuid,nopromain,"
    "chmodsugid,chown:u_minchg#0:u_maxlen#8:u_exp#0:u_life#0:u_pickpw:u_genpwd@:u_restrict@:"
    "u_nullpw:u_suclog#0:u_unsuclog#0:u_maxtries#0:u_lock:u_singleuserpswd:u_secclass=c2:"
    "u_integrity@:u_tcbpw@:u_pwseg#1:t_logdelay#0:t_maxtries#0:t_login_timeout#60:chkent:";
constexpr int kBuiltinBufferSize = 512;
static_assert(sizeof kBuiltinDefault <= kBuiltinBufferSize);

EntryBuffer *buffer_of(int object) {
    switch (object) {
        case VANT_OBJ_PRPW:
            return &state.user_buf;
        case VANT_OBJ_TTYS:
            return &state.tty_buf;
        case VANT_OBJ_FILES:
            return &state.file_buf;
        case VANT_OBJ_DEFAULT:
            return &state.default_buf;
        case VANT_OBJ_DEVASSIGN:
            return &state.devasg_buf;
        default:
            return nullptr;
    }
}

int read_entry(EntryBuffer &b, int object, const char *name, long *pos, FILE *fp) {
    return authdb::agetent(&b.text, &b.size, name, object, pos, fp);
}

char *entry_or_null(EntryBuffer &b, int result) {
    return result == 1 ? b.text : nullptr;
}

// Once per pass.
int serve_builtin_default(DefaultStream &s) {
    EntryBuffer &b = state.default_buf;
    if (s.builtin_served > 0) return 0;
    if (b.size < kBuiltinBufferSize) {
        char *bigger = static_cast<char *>(realloc(b.text, kBuiltinBufferSize));
        if (bigger == nullptr) {
            frame::audit_no_memory();
            return -1;
        }
        if (current_entry() == b.text) set_current_entry(bigger);
        b.text = bigger;
        b.size = kBuiltinBufferSize;
    }
    memcpy(b.text, kBuiltinDefault, sizeof kBuiltinDefault);
    set_current_entry(b.text);
    ++s.builtin_served;
    return 1;
}

}  // namespace
}  // namespace vant::authdb

namespace vant::authdb {

void end_authcap(int object) {
    EntryBuffer *b = buffer_of(object);
    if (b == nullptr) return;
    if (current_entry() == b->text) set_current_entry(nullptr);
    free(b->text);
    *b = {};
}

int agetuser(const char *name) {
    FILE *fp;
    authdb::open_auth_file(name, VANT_OBJ_PRPW, &fp);
    if (fp == nullptr) return -1;
    int result = read_entry(state.user_buf, VANT_OBJ_PRPW, name, nullptr, fp);
    fclose(fp);
    return result;
}

int agettty(long *pos, FILE *fp, const char *name) {
    return read_entry(state.tty_buf, VANT_OBJ_TTYS, name, pos, fp);
}

char *agetfile(long *pos, FILE *fp, const char *name) {
    return entry_or_null(state.file_buf, read_entry(state.file_buf, VANT_OBJ_FILES, name, pos, fp));
}

char *agetdvag(long *pos, FILE *fp, const char *name) {
    return entry_or_null(state.devasg_buf,
                         read_entry(state.devasg_buf, VANT_OBJ_DEVASSIGN, name, pos, fp));
}

int agetdefault(void) {
    DefaultStream &s = default_stream();
    ensure_open(s.stream, VANT_OBJ_DEFAULT);
    if (s.stream.fp == nullptr && frame::oktofaketcb()) return serve_builtin_default(s);
    return read_entry(state.default_buf, VANT_OBJ_DEFAULT, nullptr, &s.stream.filepos, s.stream.fp);
}

char *agetdefault_buf(void) {
    return entry_or_null(state.default_buf, authdb::agetdefault());
}

}  // namespace vant::authdb
