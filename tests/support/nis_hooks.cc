// The hooks of the scripted NIS client, in a module of their own that
// nis() loads: a program that never loads it has no hooks at all.
#include <string.h>

#include <string>

#include "support/nis_fake.h"

using vant::test::NisFake;

namespace {

NisFake fake;

std::string args(int kind) {
    return std::to_string(kind);
}

}  // namespace

#define HOOK extern "C" __attribute__((visibility("default")))

HOOK NisFake *vant_test_nis_fake() {
    return &fake;
}

HOOK int _nis_enabled(int kind) {
    fake.calls.push_back("enabled(" + args(kind) + ")");
    return fake.enabled.count(kind) != 0 ? 1 : 0;
}

HOOK char *_nis_lookup(const char *key, const char *map) {
    fake.calls.push_back(std::string("lookup(") + map + "," + key + ")");
    auto found = fake.answers.find({map, key});
    if (found == fake.answers.end()) return nullptr;
    fake.current = found->second;
    return fake.current.data();
}

HOOK void _nis_rewind(int kind) {
    fake.calls.push_back("rewind(" + args(kind) + ")");
    fake.position = 0;
}

HOOK void _nis_reqtype(int kind, int type, const char *name) {
    fake.calls.push_back("reqtype(" + args(kind) + "," + args(type) + "," + name + ")");
}

HOOK int _nis_control(int kind, int request) {
    fake.calls.push_back("control(" + args(kind) + "," + args(request) + ")");
    if (request == 3) {
        if (fake.on_line) fake.on_line();
        return fake.escapes_off;
    }
    if (request == 4) return fake.skips_its_lines && fake.current_from_nis ? 1 : 0;
    return 0;
}

HOOK char *_nis_getline(int kind) {
    fake.calls.push_back("getline(" + args(kind) + ")");
    fake.current_from_nis = true;
    if (!fake.pending.empty()) {
        fake.current = fake.pending.front();
        fake.pending.erase(fake.pending.begin());
    } else if (fake.position < fake.stream.size()) {
        fake.current = fake.stream[fake.position++];
    } else {
        fake.current_from_nis = false;
        return nullptr;
    }
    return fake.current.data();
}

HOOK void _nis_escape(int kind, const char *line) {
    fake.calls.push_back("escape(" + args(kind) + "," + line + ")");
    fake.pending.insert(fake.pending.end(), fake.escape_lines.begin(), fake.escape_lines.end());
}

HOOK int _nis_stopped(int kind, const char *name) {
    fake.calls.push_back("stopped(" + args(kind) + "," + name + ")");
    return fake.stopped;
}

HOOK int _nis_hash(const char *name) {
    if (fake.log_hash) fake.calls.push_back(std::string("hash(") + name + ")");
    if (fake.hash) return fake.hash(name);
    return static_cast<int>(strlen(name)) * 31 + name[0];
}
