#include "support/nis_fake.h"

#include <dlfcn.h>

#include <stdexcept>

#include "platform/nis.h"

namespace vant::test {

NisFake &nis() {
    static NisFake *fake = [] {
        void *module = dlopen(VANT_NIS_HOOKS, RTLD_NOW | RTLD_GLOBAL);
        if (module == nullptr) throw std::runtime_error(dlerror());
        auto get = reinterpret_cast<NisFake *(*)()>(dlsym(module, "vant_test_nis_fake"));
        if (get == nullptr) throw std::runtime_error("the NIS hooks module has no fake");
        // The library binds its hooks once; if it did so before they were
        // loaded, the fake would go unasked.
        if (!platform::nis_has_stream_hooks())
            throw std::logic_error("NIS scripted after the library looked for its hooks");
        return get();
    }();
    return *fake;
}

}  // namespace vant::test
