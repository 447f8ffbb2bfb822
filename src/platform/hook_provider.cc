#include "platform/hook_provider.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/defaults_file.h"
#include "platform/root.h"

namespace vant::platform {
namespace {

struct Provider {
    bool tried = false;
    void *handle = nullptr;
};
Provider provider;

// Code that runs with the process's privileges comes only from files
// that nobody but their owner, root or the process itself, can change.
bool trusted(const char *logical) {
    struct stat st;
    return stat_file(logical, &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_uid == 0 || st.st_uid == geteuid()) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void *load() {
    if (!trusted(kHookSettings)) return nullptr;
    DefaultsFile settings;
    if (!settings.open(kHookSettings)) return nullptr;
    const char *named = settings.read("PROVIDER=", kDefaultsCaseSensitive);
    if (named == nullptr || named[0] != '/') return nullptr;
    std::string logical = named;
    if (!trusted(logical.c_str())) return nullptr;
    return dlopen(host_path(logical.c_str()).c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

void *hook_provider() {
    if (!provider.tried) {
        provider.tried = true;
        provider.handle = load();
    }
    return provider.handle;
}

}  // namespace vant::platform
