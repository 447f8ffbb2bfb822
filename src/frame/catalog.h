// Locating and reading the message catalog "vant.cat@Unix".
#pragma once

#include <nl_types.h>

namespace vant::frame {

inline constexpr const char *kCatalogName = "vant.cat@Unix";

// Opens the catalog: through NLSPATH (not for a set-id process), else from
// where the library is installed, else from the configured install location
// under the root. (nl_catd)-1 when none opens.
nl_catd open_catalog();

// The catalog's text for a message, unless it would be unsafe to use in
// place of `fallback`: a text is only taken when its printf conversions are
// the same as the built-in text's.
const char *catalog_text(nl_catd catalog, int number, const char *fallback);

}  // namespace vant::frame
