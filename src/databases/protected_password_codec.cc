// The user fields of a Protected Password or System Default entry: decoded
// from the current authcap entry, and written back in their exact text form.
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_writer.h"
#include "authdb/namelists.h"
#include "authorizations/authorizations.h"
#include "databases/databases.h"
#include "databases/field_access.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

using vant::databases::IntSlot;

enum class Kind {
    Text,      // "%s=%s:", cut to the field
    Unsigned,  // "%s#%u:"
    Signed,    // "%s#%d:"
    Time,      // "%s#%lu:"
    List,      // "%s=%s:" with a name list
    PswdUser,  // "%s=%s:" with a user name
    Bool,      // "%s%s:" with storebool
    Segments,  // "%s#%u:", read clamped to 1..10
};

enum class ListId { None, UserType, CmdPriv, SysPriv, AuditMask, Secclass };

struct UserField {
    const char *id;
    uint32_t bit;
    Kind kind;
    size_t offset;  // texts
    size_t size;    // texts: bytes of the field
    IntSlot slot;   // numbers, booleans, masks
    ListId list;
    bool own_line;
};

#define TEXT(id, bit, own) \
    { #id, bit, Kind::Text, offsetof(pr_field, id), sizeof(pr_field::id), {}, ListId::None, own }
#define NUM(id, bit, kind) \
    { #id, bit, kind, 0, 0, VANT_INT_SLOT(pr_field, id), ListId::None, false }
#define LIST(id, bit, list, own) \
    { #id, bit, Kind::List, 0, 0, VANT_INT_SLOT(pr_field, id), list, own }

// The fields in record order, which is also the order they are written in.
constexpr UserField kUserFields[] = {
    TEXT(u_name, PR_U_NAME, false),
    NUM(u_id, PR_U_ID, Kind::Unsigned),
    TEXT(u_pwd, PR_U_PWD, true),
    LIST(u_type, PR_U_TYPE, ListId::UserType, false),
    TEXT(u_owner, PR_U_OWNER, false),
    NUM(u_priority, PR_U_PRIORITY, Kind::Signed),
    LIST(u_cmdpriv, PR_U_CMDPRIV, ListId::CmdPriv, false),
    LIST(u_syspriv, PR_U_SYSPRIV, ListId::SysPriv, true),
    LIST(u_auditcntl, PR_U_AUDITCNTL, ListId::AuditMask, true),
    LIST(u_auditdisp, PR_U_AUDITDISP, ListId::AuditMask, true),
    NUM(u_minchg, PR_U_MINCHG, Kind::Time),
    NUM(u_maxlen, PR_U_MAXLEN, Kind::Unsigned),
    NUM(u_exp, PR_U_EXP, Kind::Time),
    NUM(u_life, PR_U_LIFE, Kind::Time),
    NUM(u_succhg, PR_U_SUCCHG, Kind::Time),
    NUM(u_unsucchg, PR_U_UNSUCCHG, Kind::Time),
    NUM(u_pswduser, PR_U_PSWDUSER, Kind::PswdUser),
    NUM(u_pickpw, PR_U_PICKPW, Kind::Bool),
    NUM(u_genpwd, PR_U_GENPWD, Kind::Bool),
    NUM(u_restrict, PR_U_RESTRICT, Kind::Bool),
    NUM(u_nullpw, PR_U_NULLPW, Kind::Bool),
    NUM(u_suclog, PR_U_SUCLOG, Kind::Time),
    TEXT(u_suctty, PR_U_SUCTTY, false),
    NUM(u_unsuclog, PR_U_UNSUCLOG, Kind::Time),
    TEXT(u_unsuctty, PR_U_UNSUCTTY, false),
    NUM(u_numunsuclog, PR_U_NUMUNSUCLOG, Kind::Unsigned),
    NUM(u_maxtries, PR_U_MAXTRIES, Kind::Unsigned),
    NUM(u_lock, PR_U_LOCK, Kind::Bool),
    NUM(u_singleuserpswd, PR_U_SINGLEUSERPSWD, Kind::Bool),
    LIST(u_secclass, PR_U_SECCLASS, ListId::Secclass, false),
    NUM(u_integrity, PR_U_INTEGRITY, Kind::Bool),
    NUM(u_tcbpw, PR_U_TCBPW, Kind::Bool),
    NUM(u_pwseg, PR_U_PWSEG, Kind::Segments),
};

#undef TEXT
#undef NUM
#undef LIST

constexpr long kMinSegments = 1;
constexpr long kMaxSegments = 10;

struct NameList {
    const struct namepair *table;
    int highest;
    const char *description;
};

NameList name_list(ListId id) {
    using namespace vant::authdb;
    switch (id) {
        case ListId::UserType:
            return {user_type, kUserTypeHighest, kUserTypeDescription};
        case ListId::CmdPriv:
            return {cmd_priv, ST_MAX_CPRIV, kCmdPrivDescription};
        case ListId::SysPriv:
            return {sys_priv, kSysPrivHighest, kSysPrivDescription};
        case ListId::AuditMask:
            return {audit_mask, kAuditMaskHighest, kAuditMaskDescription};
        default:
            return {secclass, kSecclassHighest, kSecclassDescription};
    }
}

// Values are decoded into this area first: an entry's value may be far
// longer than the field it belongs to.
struct Scratch {
    char area[VANT_AUTHCAP_MAX];
};
Scratch scratch;

const char *string_value(const char *id) {
    char *area = scratch.area;
    return vant::authdb::agetstr(id, &area);
}

bool read_field(const UserField &f, struct pr_field *fields) {
    switch (f.kind) {
        case Kind::Text: {
            const char *v = string_value(f.id);
            if (v != nullptr) vant::databases::store_text(fields, f.offset, f.size, v);
            return v != nullptr;
        }
        case Kind::List: {
            char *area = scratch.area;
            char *v = vant::authdb::agetstr(f.id, &area);
            if (v == nullptr) return false;
            NameList l = name_list(f.list);
            unsigned int mask = 0;
            vant::authdb::loadnamepair(&mask, l.highest, v, l.table, l.description);
            vant::databases::store_int(fields, f.slot, static_cast<long>(mask));
            return true;
        }
        case Kind::PswdUser: {
            int uid = vant::authdb::agetuid(f.id);
            if (uid < 0) return false;
            vant::databases::store_int(fields, f.slot, uid);
            return true;
        }
        case Kind::Bool: {
            int flag = vant::authdb::agetflag(f.id);
            if (flag < 0) return false;
            vant::databases::store_int(fields, f.slot, flag);
            return true;
        }
        default: {
            long value = 0;
            if (vant::authdb::agtnum(f.id, &value) != 0) return false;
            if (f.kind == Kind::Segments)
                value = value < kMinSegments   ? kMinSegments
                        : value > kMaxSegments ? kMaxSegments
                                               : value;
            vant::databases::store_int(fields, f.slot, value);
            return true;
        }
    }
}

// One field's text, or false after a failed write or a value that cannot
// be written.
struct UserFieldWriter {
    vant::authdb::EntryWriter &w;
    const struct pr_field *fields;
    const struct pr_flag *flags;

    bool field(const UserField &f) {
        if (f.kind == Kind::Text) {
            const char *text = reinterpret_cast<const char *>(fields) + f.offset;
            return w.emit("%s=%.*s:", f.id, static_cast<int>(strnlen(text, f.size)), text);
        }
        long value = vant::databases::load_int(fields, f.slot);
        switch (f.kind) {
            case Kind::Signed:
                return w.emit("%s#%d:", f.id, static_cast<int>(value));
            case Kind::Time:
                return w.emit("%s#%lu:", f.id,
                              static_cast<unsigned long>(static_cast<uint32_t>(value)));
            case Kind::Bool:
                return w.emit("%s%s:", f.id, vant::authdb::storebool(static_cast<int>(value)));
            case Kind::List:
                return list(f, static_cast<unsigned int>(value));
            case Kind::PswdUser:
                return pswduser(f, value);
            default:
                return w.emit("%s#%u:", f.id, static_cast<unsigned>(static_cast<int>(value)));
        }
    }

    bool list(const UserField &f, unsigned int mask) {
        NameList l = name_list(f.list);
        char *text = vant::authdb::storenamepair(&mask, l.highest, l.table, l.description);
        if (text == nullptr) {
            w.fail();
            return false;
        }
        bool ok = w.emit("%s=%s:", f.id, text);
        free(text);
        return ok;
    }

    // The account's own id is written as its own name, even when the password
    // file does not know it.
    bool pswduser(const UserField &f, long uid) {
        const char *name = nullptr;
        if (PR_ISSET(*flags, PR_U_NAME) && PR_ISSET(*flags, PR_U_ID) && uid == fields->u_id)
            name = fields->u_name;
        else
            name = vant::frame::pw_idtoname(static_cast<int>(uid));
        if (name == nullptr) {
            w.fail();
            return false;
        }
        return w.emit("%s=%s:", f.id, name);
    }

    void write(const UserField &f) {
        if (f.own_line && w.line_started()) w.new_line();
        if (!w.ok() || !field(f)) return;
        if (f.own_line)
            w.new_line();
        else if (f.kind != Kind::Segments)
            w.item();
    }
};

}  // namespace

namespace vant::databases {

int read_pw_fields(struct pr_field *fields, struct pr_flag *flags) {
    memset(fields, 0, sizeof *fields);
    memset(flags, 0, sizeof *flags);
    if (authorizations::build_cmd_priv() != 0) return -1;
    for (const UserField &f : kUserFields) {
        if (!read_field(f, fields)) continue;
        PR_SET(*flags, f.bit);
        if (f.bit == PR_U_PWD) {
            memcpy(fields->u_savedpwd, fields->u_pwd, sizeof fields->u_savedpwd);
            PR_SET(*flags, PR_U_SAVEDPWD);
        }
    }
    return 0;
}

int store_pw_fields(FILE *fp, const char *name, struct pr_field *fields, struct pr_flag *flags) {
    frame::check_auth_parameters();
    authorizations::build_cmd_priv();
    authdb::EntryWriter w(fp);
    w.name(name);
    UserFieldWriter writer{w, fields, flags};
    for (const UserField &f : kUserFields) {
        if (!w.ok()) break;
        if (PR_ISSET(*flags, f.bit)) writer.write(f);
    }
    return w.end(name != nullptr);
}

}  // namespace vant::databases
