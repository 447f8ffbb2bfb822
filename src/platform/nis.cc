#include "platform/nis.h"

#include <dlfcn.h>

#include "platform/hook_provider.h"

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
bool resolve_hook(void *scope, F &slot, const char *name) {
    slot = reinterpret_cast<F>(dlsym(scope, name));
    return slot != nullptr;
}

bool resolve_all(void *scope) {
    bool any = false;
    any |= resolve_hook(scope, hooks.enabled, "_nis_enabled");
    any |= resolve_hook(scope, hooks.lookup, "_nis_lookup");
    any |= resolve_hook(scope, hooks.rewind, "_nis_rewind");
    any |= resolve_hook(scope, hooks.reqtype, "_nis_reqtype");
    any |= resolve_hook(scope, hooks.control, "_nis_control");
    any |= resolve_hook(scope, hooks.getline, "_nis_getline");
    any |= resolve_hook(scope, hooks.escape, "_nis_escape");
    any |= resolve_hook(scope, hooks.stopped, "_nis_stopped");
    any |= resolve_hook(scope, hooks.hash, "_nis_hash");
    return any;
}

// The process's own hooks come first; only a process without any takes
// those of the provider the site names.
const Hooks &bound_hooks() {
    if (!hooks.bound) {
        hooks.bound = true;
        if (!resolve_all(RTLD_DEFAULT))
            if (void *provider = hook_provider()) resolve_all(provider);
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
