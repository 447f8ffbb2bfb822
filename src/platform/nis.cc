#include "platform/nis.h"

#include <dlfcn.h>

namespace vant::platform {
namespace {

using Enabled = int (*)(int);
using Lookup = char *(*)(const char *, const char *);
using Rewind = void (*)(int);
using Reqtype = void (*)(int, int, const char *);
using Control = int (*)(int, int);
using Getline = char *(*)(int);
using Escape = void (*)(int, const char *);
using Stopped = int (*)(int, const char *);
using Hash = int (*)(const char *);

struct Hooks {
    bool bound = false;
    Enabled enabled = nullptr;
    Lookup lookup = nullptr;
    Rewind rewind = nullptr;
    Reqtype reqtype = nullptr;
    Control control = nullptr;
    Getline getline = nullptr;
    Escape escape = nullptr;
    Stopped stopped = nullptr;
    Hash hash = nullptr;
};
Hooks hooks;

template <typename F>
void resolve_hook(F &slot, const char *name) {
    slot = reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

const Hooks &bound_hooks() {
    if (!hooks.bound) {
        resolve_hook(hooks.enabled, "_nis_enabled");
        resolve_hook(hooks.lookup, "_nis_lookup");
        resolve_hook(hooks.rewind, "_nis_rewind");
        resolve_hook(hooks.reqtype, "_nis_reqtype");
        resolve_hook(hooks.control, "_nis_control");
        resolve_hook(hooks.getline, "_nis_getline");
        resolve_hook(hooks.escape, "_nis_escape");
        resolve_hook(hooks.stopped, "_nis_stopped");
        resolve_hook(hooks.hash, "_nis_hash");
        hooks.bound = true;
    }
    return hooks;
}

}  // namespace

int nis_enabled(int kind) {
    auto f = bound_hooks().enabled;
    return f != nullptr ? f(kind) : 0;
}

const char *nis_lookup(const char *key, const char *map) {
    auto f = bound_hooks().lookup;
    return f != nullptr ? f(key, map) : nullptr;
}

void nis_rewind(int kind) {
    if (auto f = bound_hooks().rewind) f(kind);
}

void nis_reqtype(int kind, int type, const char *name) {
    if (auto f = bound_hooks().reqtype) f(kind, type, name);
}

int nis_control(int kind, int request) {
    auto f = bound_hooks().control;
    return f != nullptr ? f(kind, request) : 0;
}

const char *nis_getline(int kind) {
    auto f = bound_hooks().getline;
    return f != nullptr ? f(kind) : nullptr;
}

void nis_escape(int kind, const char *line) {
    if (auto f = bound_hooks().escape) f(kind, line);
}

int nis_stopped(int kind, const char *name) {
    auto f = bound_hooks().stopped;
    return f != nullptr ? f(kind, name) : 0;
}

int nis_hash(const char *name) {
    auto f = bound_hooks().hash;
    return f != nullptr ? f(name) : 0;
}

bool nis_has_rewind() {
    return bound_hooks().rewind != nullptr;
}
bool nis_has_getline() {
    return bound_hooks().getline != nullptr;
}
bool nis_has_stream_hooks() {
    const Hooks &h = bound_hooks();
    return h.enabled != nullptr || h.rewind != nullptr || h.reqtype != nullptr ||
           h.control != nullptr || h.getline != nullptr || h.escape != nullptr ||
           h.stopped != nullptr || h.hash != nullptr;
}

}  // namespace vant::platform
