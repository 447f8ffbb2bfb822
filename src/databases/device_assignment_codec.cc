// The text form of a Device Assignment entry.
#include <stdlib.h>
#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_writer.h"
#include "authdb/namelists.h"
#include "databases/device_assignment.h"
#include "databases/entry_fields.h"
#include "databases/storable.h"

namespace vant::databases {
namespace {

using authdb::kAuthDevTypeDescription;
using authdb::kAuthDevTypeHighest;

constexpr int kDevs = 0;
constexpr int kType = 1;

int field_index(const char *id, size_t length) {
    return identifier_index(dev_table, kDeviceFields, id, length);
}

char **&list_of(struct v_field &f, int index) {
    return index == kDevs ? f.v_devs : f.v_users;
}

// An item must come back as the one item it was: a comma would split it,
// and an empty one cannot be read at all.
bool storable_item(const char *item) {
    return item[0] != '\0' && strchr(item, ',') == nullptr && storable_value(item);
}

void write_list(authdb::EntryWriter &w, const char *id, char *const *items) {
    if (items == nullptr || items[0] == nullptr) w.fail();
    w.emit("%s=", id);
    for (int i = 0; w.ok() && items[i] != nullptr; ++i) {
        if (!storable_item(items[i])) w.fail();
        w.emit("%s%s", i > 0 ? "," : "", items[i]);
    }
    w.emit(":");
}

// A mask without a name to show for it cannot be written.
void write_type(authdb::EntryWriter &w, const vant_mask_t &mask) {
    if (!w.ok()) return;
    char *names =
        authdb::storenamepair(&mask, kAuthDevTypeHighest, auth_dev_type, kAuthDevTypeDescription);
    if (names == nullptr || names[0] == '\0') w.fail();
    w.emit("%s=%s:", "v_type", names);
    free(names);
}

}  // namespace

int parse_dv_field(char *text, int index, struct v_field *fields, struct v_flag *flags) {
    if (index < 0 || index >= kDeviceFields || *text != '=') return 1;
    char *value = text + 1;
    if (index == kType) {
        authdb::loadnamepair(&fields->v_type, kAuthDevTypeHighest, value, auth_dev_type,
                             kAuthDevTypeDescription);
        PR_V_SET(*flags, PR_V_TYPE);
        return 0;
    }
    char **&list = list_of(*fields, index);
    free(list);
    list = authdb::agetstrlist(value);
    if (list == nullptr) return 1;
    PR_V_SET(*flags, index == kDevs ? PR_V_DEVS : PR_V_USERS);
    return 0;
}

int read_dv_fields(struct v_field *fields, struct v_flag *flags, char *entry) {
    *fields = {};
    *flags = {};
    char *name = nullptr;
    int malformed = split_entry(entry, &name, [&](char *field, size_t id_length) {
        int index = field_index(field, id_length);
        return index >= 0 ? parse_dv_field(field + id_length, index, fields, flags) : 0;
    });
    if (name != nullptr) {
        fields->v_name = name;
        PR_V_SET(*flags, PR_V_NAME);
    }
    return malformed;
}

// The name is the first item of the first line. The users always end their
// line, and the type follows on the next.
int store_dv_fields(FILE *stream, const char *name, const struct v_field *fields,
                    const struct v_flag *flags) {
    authdb::EntryWriter w(stream);
    w.name(name);
    if (PR_V_ISSET(*flags, PR_V_DEVS)) {
        write_list(w, "v_devs", fields->v_devs);
        w.item();
    }
    if (PR_V_ISSET(*flags, PR_V_USERS)) {
        write_list(w, "v_users", fields->v_users);
        w.new_line();
    }
    if (PR_V_ISSET(*flags, PR_V_TYPE)) write_type(w, fields->v_type);
    return w.end(true);
}

int match_name_buf(const char *name, const char *line) {
    const char *colon = strchr(line, ':');
    if (colon == nullptr) return 1;
    size_t n = static_cast<size_t>(colon - line);
    return strlen(name) == n && strncmp(line, name, n) == 0 ? 0 : 1;
}

void release_dv_lists(struct v_field *fields) {
    free(fields->v_devs);
    free(fields->v_users);
    fields->v_devs = nullptr;
    fields->v_users = nullptr;
}

}  // namespace vant::databases
