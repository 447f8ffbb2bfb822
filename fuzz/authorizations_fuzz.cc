// The authorization declaration, loaded afresh for each input.
#include "authorizations/authorizations.h"
#include "authorizations/declarations.h"
#include "support/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::root().write("/etc/auth/system/authorize", fuzz::whole(data, size));
    if (authorizations::read_authorizations() == 0) {
        authorizations::total_auths();
        authorizations::widest_auth();
        authorizations::primary_auth("auth");
        authorizations::secondary_auth("su");
        authorizations::primary_of_secondary_auth("audittrail");
    }
    fuzz::end_input();
    return 0;
}
