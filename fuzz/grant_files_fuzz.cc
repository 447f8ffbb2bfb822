// A subsystem's grant file and the default users' list, through the
// checks of who holds an authorization.
#include "authorizations/authorizations.h"
#include "support/fuzz_root.h"

namespace {

constexpr const char *kUsers[] = {"alice", "bob", "daemon"};
constexpr const char *kAuthorizations[] = {"auth", "su", "audit"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vant;
    fuzz::Input in(data, size);
    test::Sandbox &box = fuzz::root();
    box.write("/etc/auth/subsystems/auth", in.next(), 0640);
    box.write("/etc/auth/subsystems/dflt_users", in.next(), 0640);
    const char *user = kUsers[in.choice() % std::size(kUsers)];
    for (const char *authorization : kAuthorizations)
        authorizations::user_has_auth(user, "auth", authorization);
    authorizations::privileged_user("auth");
    fuzz::end_input();
    return 0;
}
