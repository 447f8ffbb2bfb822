#include "directory/connection.h"

#include <ldap.h>
#include <signal.h>
#include <string.h>
#include <sys/time.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/root.h"

namespace vant::directory {
namespace {

constexpr int kPageSize = 500;

// A server that went away between two requests breaks the pipe under the
// next one; that must not end the program, so the signal is held back for
// the duration of a request and discarded if the request raised it.
class PipeSignalHeld {
  public:
    PipeSignalHeld() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &old_);
    }
    ~PipeSignalHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            struct timespec none = {0, 0};
            sigtimedwait(&pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld &) = delete;
    PipeSignalHeld &operator=(const PipeSignalHeld &) = delete;

  private:
    sigset_t old_;
    bool was_pending_ = false;
};

struct MessageOwner {
    LDAPMessage *message = nullptr;
    ~MessageOwner() {
        if (message != nullptr) ldap_msgfree(message);
    }
};

struct ControlsOwner {
    LDAPControl **controls = nullptr;
    ~ControlsOwner() {
        if (controls != nullptr) ldap_controls_free(controls);
    }
};

std::string lower(const char *text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

Entry entry_of(LDAP *ld, LDAPMessage *message) {
    Entry e;
    if (char *dn = ldap_get_dn(ld, message)) {
        e.dn = dn;
        ldap_memfree(dn);
    }
    BerElement *ber = nullptr;
    for (char *a = ldap_first_attribute(ld, message, &ber); a != nullptr;
         a = ldap_next_attribute(ld, message, ber)) {
        std::vector<std::string> &values = e.attributes[lower(a)];
        if (struct berval **v = ldap_get_values_len(ld, message, a)) {
            for (int i = 0; v[i] != nullptr; ++i)
                values.emplace_back(v[i]->bv_val, v[i]->bv_len);
            ldap_value_free_len(v);
        }
        ldap_memfree(a);
    }
    if (ber != nullptr) ber_free(ber, 0);
    return e;
}

Outcome lost(std::string &why, int code) {
    why = ldap_err2string(code);
    return Outcome::unreachable;
}

// Whether a failed request is worth one more try on a fresh connection:
// the connection kept from before may have been dropped by the server.
bool connection_lost(Outcome outcome, const std::string &why) {
    return outcome == Outcome::unreachable && why != "no answer in time";
}

}  // namespace

std::string filter_value(const std::string &value) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : value) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
            out += '\\';
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void Connection::close() {
    if (ld_ != nullptr) {
        PipeSignalHeld held;
        ldap_unbind_ext_s(ld_, nullptr, nullptr);
    }
    ld_ = nullptr;
}

Outcome Connection::wait(int msgid, LDAPMessage **result, std::string &why) {
    struct timeval limit = {settings_.timeout_seconds, 0};
    int rc = ldap_result(ld_, msgid, LDAP_MSG_ALL, &limit, result);
    if (rc > 0) return Outcome::ok;
    if (rc == 0) {
        ldap_abandon_ext(ld_, msgid, nullptr, nullptr);
        why = "no answer in time";
        return Outcome::unreachable;
    }
    int code = LDAP_SERVER_DOWN;
    ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &code);
    return lost(why, code);
}

Outcome Connection::connect(std::string &why) {
    if (ld_ != nullptr) return Outcome::ok;
    if (ldap_initialize(&ld_, settings_.uri.c_str()) != LDAP_SUCCESS || ld_ == nullptr) {
        ld_ = nullptr;
        why = "the server address cannot be used";
        return Outcome::refused;
    }
    int version = LDAP_VERSION3;
    struct timeval limit = {settings_.timeout_seconds, 0};
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &limit);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld_, LDAP_OPT_RESTART, LDAP_OPT_ON);
    if (!settings_.tls_ca_file.empty()) {
        std::string ca = platform::host_path(settings_.tls_ca_file.c_str());
        ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, ca.c_str());
    }
    if (settings_.tls_require_cert >= 0)
        ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &settings_.tls_require_cert);
    // The TLS settings take effect in a context of the connection's own.
    if (!settings_.tls_ca_file.empty() || settings_.tls_require_cert >= 0) {
        int fresh = 0;
        ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &fresh);
    }

    Outcome o = Outcome::ok;
    int msgid = 0;
    if (settings_.tls == Tls::start) {
        MessageOwner reply;
        int rc = ldap_start_tls(ld_, nullptr, nullptr, &msgid);
        if (rc != LDAP_SUCCESS) {
            o = lost(why, rc);
        } else if ((o = wait(msgid, &reply.message, why)) == Outcome::ok) {
            int code = LDAP_OTHER;
            ldap_parse_result(ld_, reply.message, &code, nullptr, nullptr, nullptr, nullptr, 0);
            if (code != LDAP_SUCCESS || (rc = ldap_install_tls(ld_)) != LDAP_SUCCESS) {
                why = std::string("TLS refused: ") +
                      ldap_err2string(code != LDAP_SUCCESS ? code : rc);
                o = Outcome::refused;
            }
        }
    }
    if (o == Outcome::ok && !credentials_.dn.empty()) {
        MessageOwner reply;
        struct berval secret = {credentials_.secret.size(), credentials_.secret.data()};
        int rc = ldap_sasl_bind(ld_, credentials_.dn.c_str(), LDAP_SASL_SIMPLE, &secret, nullptr,
                                nullptr, &msgid);
        if (rc != LDAP_SUCCESS) {
            o = lost(why, rc);
        } else if ((o = wait(msgid, &reply.message, why)) == Outcome::ok) {
            int code = LDAP_OTHER;
            ldap_parse_result(ld_, reply.message, &code, nullptr, nullptr, nullptr, nullptr, 0);
            if (code != LDAP_SUCCESS) {
                why = std::string("bind refused: ") + ldap_err2string(code);
                o = Outcome::refused;
            }
        }
    }
    if (o != Outcome::ok) close();
    return o;
}

Outcome Connection::search_once(const std::string &base, const std::string &filter,
                                const char *const *attributes, std::vector<Entry> &entries,
                                std::string &why) {
    Outcome o = connect(why);
    if (o != Outcome::ok) return o;
    struct berval cookie = {0, nullptr};
    std::string kept_cookie;
    entries.clear();
    for (;;) {
        LDAPControl *page = nullptr;
        if (ldap_create_page_control(ld_, kPageSize, kept_cookie.empty() ? nullptr : &cookie, 0,
                                     &page) != LDAP_SUCCESS)
            return lost(why, LDAP_NO_MEMORY);
        LDAPControl *server_controls[] = {page, nullptr};
        struct timeval limit = {settings_.timeout_seconds, 0};
        int msgid = 0;
        int rc = ldap_search_ext(ld_, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                 const_cast<char **>(attributes), 0, server_controls, nullptr,
                                 &limit, LDAP_NO_LIMIT, &msgid);
        ldap_control_free(page);
        if (rc != LDAP_SUCCESS) return lost(why, rc);
        MessageOwner reply;
        if ((o = wait(msgid, &reply.message, why)) != Outcome::ok) return o;
        for (LDAPMessage *m = ldap_first_entry(ld_, reply.message); m != nullptr;
             m = ldap_next_entry(ld_, m))
            entries.push_back(entry_of(ld_, m));
        int code = LDAP_OTHER;
        ControlsOwner returned;
        LDAPMessage *done = ldap_first_message(ld_, reply.message);
        while (done != nullptr && ldap_msgtype(done) != LDAP_RES_SEARCH_RESULT)
            done = ldap_next_message(ld_, done);
        if (done == nullptr || ldap_parse_result(ld_, done, &code, nullptr, nullptr, nullptr,
                                                 &returned.controls, 0) != LDAP_SUCCESS)
            return lost(why, LDAP_DECODING_ERROR);
        if (code == LDAP_NO_SUCH_OBJECT) return Outcome::ok;  // an empty part of the tree
        if (code != LDAP_SUCCESS) {
            why = std::string("search refused: ") + ldap_err2string(code);
            return Outcome::refused;
        }
        LDAPControl *response =
            ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned.controls, nullptr);
        if (response == nullptr) return Outcome::ok;  // the server gave all at once
        ber_int_t estimate = 0;
        struct berval next = {0, nullptr};
        if (ldap_parse_pageresponse_control(ld_, response, &estimate, &next) != LDAP_SUCCESS)
            return lost(why, LDAP_DECODING_ERROR);
        kept_cookie.assign(next.bv_val != nullptr ? next.bv_val : "", next.bv_len);
        ber_memfree(next.bv_val);
        if (kept_cookie.empty()) return Outcome::ok;
        cookie = {kept_cookie.size(), kept_cookie.data()};
    }
}

Outcome Connection::search(const std::string &base, const std::string &filter,
                           const char *const *attributes, std::vector<Entry> &entries,
                           std::string &why) {
    PipeSignalHeld held;
    bool reused = ld_ != nullptr;
    Outcome o = search_once(base, filter, attributes, entries, why);
    if (o == Outcome::ok || !reused || !connection_lost(o, why)) {
        if (o == Outcome::unreachable) close();
        return o;
    }
    close();
    o = search_once(base, filter, attributes, entries, why);
    if (o == Outcome::unreachable) close();
    return o;
}

Outcome Connection::replace_once(const std::string &dn, const std::vector<Change> &changes,
                                 std::string &why) {
    Outcome o = connect(why);
    if (o != Outcome::ok) return o;
    std::vector<LDAPMod> mods(changes.size());
    std::vector<std::array<char *, 2>> values(changes.size());
    std::vector<LDAPMod *> list;
    for (size_t i = 0; i < changes.size(); ++i) {
        values[i] = {const_cast<char *>(changes[i].value.c_str()), nullptr};
        mods[i].mod_op = LDAP_MOD_REPLACE;
        mods[i].mod_type = const_cast<char *>(changes[i].attribute);
        mods[i].mod_values = values[i].data();
        list.push_back(&mods[i]);
    }
    list.push_back(nullptr);
    int msgid = 0;
    int rc = ldap_modify_ext(ld_, dn.c_str(), list.data(), nullptr, nullptr, &msgid);
    if (rc != LDAP_SUCCESS) return lost(why, rc);
    MessageOwner reply;
    if ((o = wait(msgid, &reply.message, why)) != Outcome::ok) return o;
    int code = LDAP_OTHER;
    char *said = nullptr;
    ldap_parse_result(ld_, reply.message, &code, nullptr, &said, nullptr, nullptr, 0);
    if (code != LDAP_SUCCESS) {
        why = std::string("change refused: ") + ldap_err2string(code);
        if (said != nullptr && said[0] != '\0') why += std::string(" (") + said + ")";
    }
    ldap_memfree(said);
    return code == LDAP_SUCCESS ? Outcome::ok : Outcome::refused;
}

Outcome Connection::replace(const std::string &dn, const std::vector<Change> &changes,
                            std::string &why) {
    PipeSignalHeld held;
    Outcome o = replace_once(dn, changes, why);
    if (o == Outcome::unreachable) close();
    return o;
}

}  // namespace vant::directory
