// The terminal fields of a Terminal Control or System Default entry:
// decoded from the current authcap entry, and written back as text.
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_writer.h"
#include "databases/databases.h"
#include "databases/field_access.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

using vant::databases::IntSlot;

enum class Kind {
    Text,      // "%s=%s:", cut to the field
    User,      // "%s=%s:" with the user's name
    Time,      // "%s#%lu:"
    Unsigned,  // "%s#%u:"
    Bool,      // "%s%s:", not counted for wrapping
};

struct TermField {
    const char *id;
    uint16_t bit;
    Kind kind;
    size_t offset;
    size_t size;
    IntSlot slot;
};

#define TEXT(id, bit)                                                        \
    {                                                                        \
#id, bit, Kind::Text, offsetof(t_field, id), sizeof(t_field::id), {} \
    }
#define NUM(id, bit, kind) \
    { #id, bit, kind, 0, 0, VANT_INT_SLOT(t_field, id) }

constexpr TermField kTermFields[] = {
    TEXT(t_devname, PR_T_DEVNAME),
    NUM(t_uid, PR_T_UID, Kind::User),
    NUM(t_logtime, PR_T_LOGTIME, Kind::Time),
    NUM(t_unsucuid, PR_T_UNSUCUID, Kind::User),
    NUM(t_unsuctime, PR_T_UNSUCTIME, Kind::Time),
    NUM(t_prevuid, PR_T_PREVUID, Kind::User),
    NUM(t_prevtime, PR_T_PREVTIME, Kind::Time),
    NUM(t_failures, PR_T_FAILURES, Kind::Unsigned),
    NUM(t_maxtries, PR_T_MAXTRIES, Kind::Unsigned),
    NUM(t_logdelay, PR_T_LOGDELAY, Kind::Time),
    TEXT(t_label, PR_T_LABEL),
    NUM(t_lock, PR_T_LOCK, Kind::Bool),
    NUM(t_login_timeout, PR_T_LOGIN_TIMEOUT, Kind::Unsigned),
};

#undef TEXT
#undef NUM

static_assert(kTermFields[0].bit == PR_T_DEVNAME);

struct Scratch {
    char area[VANT_AUTHCAP_MAX];
};
Scratch scratch;

bool read_field(const TermField &f, struct t_field *fields) {
    using namespace vant::databases;
    switch (f.kind) {
        case Kind::Text: {
            char *area = scratch.area;
            const char *v = vant::authdb::agetstr(f.id, &area);
            if (v != nullptr) store_text(fields, f.offset, f.size, v);
            return v != nullptr;
        }
        case Kind::User: {
            int uid = vant::authdb::agetuid(f.id);
            if (uid >= 0) store_int(fields, f.slot, uid);
            return uid >= 0;
        }
        case Kind::Bool: {
            int flag = vant::authdb::agetflag(f.id);
            if (flag >= 0) store_int(fields, f.slot, flag);
            return flag >= 0;
        }
        default: {
            long value = 0;
            if (vant::authdb::agtnum(f.id, &value) != 0) return false;
            store_int(fields, f.slot, value);
            return true;
        }
    }
}

struct TermFieldWriter {
    vant::authdb::EntryWriter &w;
    const struct t_field *fields;

    bool field(const TermField &f) {
        if (f.kind == Kind::Text) {
            const char *text = reinterpret_cast<const char *>(fields) + f.offset;
            return w.emit("%s=%.*s:", f.id, static_cast<int>(strnlen(text, f.size)), text);
        }
        long value = vant::databases::load_int(fields, f.slot);
        switch (f.kind) {
            case Kind::User: {
                const char *name = vant::frame::pw_idtoname(static_cast<int>(value));
                if (name == nullptr) w.fail();
                return name != nullptr && w.emit("%s=%s:", f.id, name);
            }
            case Kind::Time:
                return w.emit("%s#%lu:", f.id,
                              static_cast<unsigned long>(static_cast<uint32_t>(value)));
            case Kind::Bool:
                return w.emit("%s%s:", f.id, vant::authdb::storebool(static_cast<int>(value)));
            default:
                return w.emit("%s#%u:", f.id, static_cast<unsigned>(value));
        }
    }

    void write(const TermField &f) {
        if (field(f) && f.kind != Kind::Bool) w.item();
    }
};

}  // namespace

namespace vant::databases {

void read_tc_fields(struct t_field *fields, struct t_flag *flags) {
    memset(fields, 0, sizeof *fields);
    memset(flags, 0, sizeof *flags);
    for (const TermField &f : kTermFields)
        if (read_field(f, fields)) PR_T_SET(*flags, f.bit);
}

bool read_tc_devname(struct t_field *fields) {
    memset(fields->t_devname, 0, sizeof fields->t_devname);
    return read_field(kTermFields[0], fields);
}

int store_tc_fields(FILE *stream, const char *name, struct t_field *fields, struct t_flag *flags) {
    authdb::EntryWriter w(stream);
    w.name(name);
    TermFieldWriter writer{w, fields};
    for (const TermField &f : kTermFields) {
        if (!w.ok()) break;
        if (PR_T_ISSET(*flags, f.bit)) writer.write(f);
    }
    return w.end(name != nullptr);
}

}  // namespace vant::databases
