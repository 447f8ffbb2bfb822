// The text form of a File Control entry.
#include <stdint.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "authdb/entry_writer.h"
#include "databases/entry_fields.h"
#include "databases/file_control.h"
#include "frame/frame.h"

namespace vant::databases {
namespace {

enum class Form { user, group, letter, octal, decimal, hex };

struct FieldForm {
    uint16_t flag;
    Form form;
};

// In the order of file_table.
constexpr FieldForm kForms[kFileFields] = {
    {PR_F_OWNER, Form::user},    {PR_F_GROUP, Form::group},  {PR_F_MODE, Form::octal},
    {PR_F_TYPE, Form::letter},   {PR_F_SIZE, Form::decimal}, {PR_F_MTIME, Form::decimal},
    {PR_F_CTIME, Form::decimal}, {PR_F_CKSUM, Form::hex},
};

bool is_number(Form form) {
    return form == Form::octal || form == Form::decimal || form == Form::hex;
}

int field_index(const char *id, size_t length) {
    return identifier_index(file_table, kFileFields, id, length);
}

// Numbers are kept as their low 32 bits, as the record's fields hold them.
void set_number(struct f_field &f, int index, long value) {
    auto bits = static_cast<uint32_t>(value);
    switch (index) {
        case 2:
            f.f_mode = static_cast<uint16_t>(bits);
            break;
        case 4:
            f.f_size = bits;
            break;
        case 5:
            f.f_mtime = static_cast<vant_time_t>(bits);
            break;
        case 6:
            f.f_ctime = static_cast<vant_time_t>(bits);
            break;
        case 7:
            f.f_cksum = bits;
            break;
    }
}

// An owner or group without a name cannot be written.
bool write_name(authdb::EntryWriter &w, const char *id, const char *name) {
    if (name == nullptr) w.fail();
    return name != nullptr && w.emit("%s=%s:", id, name);
}

unsigned long number(const struct f_field &f, int index) {
    switch (index) {
        case 2:
            return f.f_mode;
        case 4:
            return f.f_size;
        case 5:
            return static_cast<uint32_t>(f.f_mtime);
        case 6:
            return static_cast<uint32_t>(f.f_ctime);
        case 7:
            return f.f_cksum;
    }
    return 0;
}

// One field in its text form; false when it cannot be written.
bool write_field(authdb::EntryWriter &w, int index, const struct f_field &f) {
    const char *id = file_table[index];
    switch (kForms[index].form) {
        case Form::user:
            return write_name(w, id, frame::pw_idtoname(f.f_owner));
        case Form::group:
            return write_name(w, id, frame::gr_idtoname(f.f_group));
        case Form::letter: {
            const char letter[2] = {f.f_type, '\0'};
            return w.emit("%s=%s:", id, letter);
        }
        case Form::octal:
            return w.emit("%s#0%lo:", id, number(f, index));
        case Form::decimal:
            return w.emit("%s#%lu:", id, number(f, index));
        case Form::hex:
            return w.emit("%s#0x%lx:", id, number(f, index));
    }
    return false;
}

}  // namespace

int parse_fi_field(const char *text, int index, struct f_field *fields, struct f_flag *flags) {
    if (index < 0 || index >= kFileFields) return 1;
    Form form = kForms[index].form;
    if (*text != (is_number(form) ? '#' : '=')) return 1;
    const char *value = text + 1;
    switch (form) {
        case Form::user: {
            int id = frame::pw_nametoid(value);
            if (id < 0) return 1;
            fields->f_owner = static_cast<vant_id_t>(id);
            break;
        }
        case Form::group: {
            int id = frame::gr_nametoid(value);
            if (id < 0) return 1;
            fields->f_group = static_cast<vant_id_t>(id);
            break;
        }
        case Form::letter:
            fields->f_type = value[0];
            break;
        default:
            set_number(*fields, index, authdb::adecodenum(value));
            break;
    }
    PR_F_SET(*flags, kForms[index].flag);
    return 0;
}

int read_fi_fields(struct f_field *fields, struct f_flag *flags, char *entry) {
    *fields = {};
    *flags = {};
    char *name = nullptr;
    int malformed = split_entry(entry, &name, [&](char *field, size_t id_length) {
        int index = field_index(field, id_length);
        return index >= 0 ? parse_fi_field(field + id_length, index, fields, flags) : 0;
    });
    if (name != nullptr) {
        fields->f_name = name;
        PR_F_SET(*flags, PR_F_NAME);
    }
    return malformed;
}

int store_fi_fields(FILE *stream, const char *name, const struct f_field *fields,
                    const struct f_flag *flags) {
    authdb::EntryWriter w(stream);
    w.name(name);
    for (int i = 0; i < kFileFields && w.ok(); ++i)
        if (PR_F_ISSET(*flags, kForms[i].flag) && write_field(w, i, *fields)) w.item();
    return w.end(true);
}

}  // namespace vant::databases
