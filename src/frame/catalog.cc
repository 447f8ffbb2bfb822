#include "frame/catalog.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include "platform/root.h"

#ifndef VANT_CATALOG_PATH
#define VANT_CATALOG_PATH "/usr/local/share/vant/vant.cat@Unix"
#endif
#ifndef VANT_CATALOG_FROM_LIBDIR
#define VANT_CATALOG_FROM_LIBDIR "../share/vant/vant.cat@Unix"
#endif

namespace vant::frame {
namespace {

constexpr int kLocaleFlag = NL_CAT_LOCALE;
constexpr int kMessageSet = 1;

// The sequence of conversion letters of a printf format ("%4d %s" -> "ds").
std::string conversions(const char *format) {
    std::string letters;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        while (*p != '\0' &&
               std::string_view("-+ #0123456789.lhzjtL").find(*p) != std::string_view::npos)
            ++p;
        if (*p == '\0') break;
        letters += *p;
    }
    return letters;
}

// Where the installed library's own catalog is: an install moved to another
// prefix carries the catalog with it. The loader chose the library's path,
// not the caller, so a set-id process may use it too.
std::string catalog_beside_library() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&open_catalog), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string library = info.dli_fname;
    size_t slash = library.rfind('/');
    if (slash == std::string::npos) return {};
    return library.substr(0, slash + 1) + VANT_CATALOG_FROM_LIBDIR;
}

}  // namespace

nl_catd open_catalog() {
    // The C library follows NLSPATH for a bare name. A set-id process must not
    // take its texts (some are printf formats) from a place its caller chose.
    bool caller_path = getenv("NLSPATH") != nullptr && secure_getenv("NLSPATH") == nullptr;
    if (!caller_path) {
        nl_catd catalog = catopen(kCatalogName, kLocaleFlag);
        if (catalog != (nl_catd)-1) return catalog;
    }
    std::string beside = catalog_beside_library();
    if (!beside.empty()) {
        nl_catd catalog = catopen(beside.c_str(), kLocaleFlag);
        if (catalog != (nl_catd)-1) return catalog;
    }
    return catopen(platform::host_path(VANT_CATALOG_PATH).c_str(), kLocaleFlag);
}

const char *catalog_text(nl_catd catalog, int number, const char *fallback) {
    const char *text = catgets(catalog, kMessageSet, number, fallback);
    if (text == nullptr || text == fallback) return fallback;
    if (fallback == nullptr) return text;
    if (conversions(text) != conversions(fallback)) return fallback;
    return text;
}

}  // namespace vant::frame
