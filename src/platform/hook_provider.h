// The provider of the host hooks named by the site: when a process defines
// none of the hooks itself, the library loads the one that
// /etc/vant/directory.conf names (its PROVIDER= line), once per process.
#pragma once

namespace vant::platform {

inline constexpr const char *kHookSettings = "/etc/vant/directory.conf";

// The loaded provider's handle, or null when the site names none or the
// one named may not or cannot be loaded.
void *hook_provider();

}  // namespace vant::platform
