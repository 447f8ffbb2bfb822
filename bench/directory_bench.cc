// Directory users looked up by name, at 1,000 and 10,000 users in a real
// slapd, against one single libldap search of the same entry in the same
// process (what ldapsearch does once connected).
//
// pw_nametoid misses the local table and asks the provider: one search.
// getprpwnam reads the System Default entry and searches /etc/passwd,
// whose "+" line makes the provider search the directory once more, with
// the password; the rest is the library's own reconciliation.
#include <benchmark/benchmark.h>
#include <ldap.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "directory/slapd_server.h"
#include "generated_system.h"
#include "platform/nis.h"
#include "ratios.h"
#include "vant.h"

namespace {

constexpr size_t kProbes = 1024;
constexpr int kLocalUsers = 20;
const char *const kAttributes[] = {"uid",           "uidNumber",  "gidNumber",    "gecos",
                                   "homeDirectory", "loginShell", "userPassword", nullptr};

struct Run {
    int users = 0;
    std::vector<std::string> names;
    LDAP *ld = nullptr;  // the baseline's own connection, bound as the provider binds
};
Run run;

std::string directory_user(int i) {
    char name[16];
    snprintf(name, sizeof name, "user%04d", i);
    return name;
}

const std::string &probe(size_t &k) {
    return run.names[k++ % run.names.size()];
}

void BM_PwNameToId(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pw_nametoid(probe(k).c_str()));
}
BENCHMARK(BM_PwNameToId)->Unit(benchmark::kMicrosecond);

void BM_ProviderLookup(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(vant::platform::nis_lookup(probe(k).c_str(), "passwd.byname"));
}
BENCHMARK(BM_ProviderLookup)->Unit(benchmark::kMicrosecond);

void BM_Getprpwnam(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state)
        if (getprpwnam(probe(k).c_str()) == nullptr) state.SkipWithError("user not found");
}
BENCHMARK(BM_Getprpwnam)->Unit(benchmark::kMicrosecond);

void BM_LdapSearch(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state) {
        std::string filter = "(&(objectClass=posixAccount)(uid=" + probe(k) + "))";
        LDAPMessage *result = nullptr;
        struct timeval limit = {3, 0};
        int rc = ldap_search_ext_s(run.ld, vant::test::kDirectorySuffix, LDAP_SCOPE_SUBTREE,
                                   filter.c_str(), const_cast<char **>(kAttributes), 0, nullptr,
                                   nullptr, &limit, LDAP_NO_LIMIT, &result);
        if (rc != LDAP_SUCCESS || ldap_count_entries(run.ld, result) != 1)
            state.SkipWithError("search failed");
        ldap_msgfree(result);
    }
}
BENCHMARK(BM_LdapSearch)->Unit(benchmark::kMicrosecond);

std::string system_for(const std::string &uri) {
    vant::bench::SystemShape shape;
    shape.users = kLocalUsers;
    shape.stored_password = [](int) { return std::string("abcdefghijklm"); };
    std::string root = vant::bench::make_system(shape);
    std::ofstream(root + "/etc/passwd", std::ios::app) << "+\n";
    vant::bench::date_back(root + "/etc/passwd");
    std::filesystem::create_directories(root + "/etc/vant");
    std::filesystem::create_directories(root + "/usr/lib/vant");
    std::filesystem::create_symlink(VANT_DIRECTORY_PROVIDER,
                                    root + "/usr/lib/vant/libvant-directory.so");
    std::ofstream(root + "/etc/vant/directory.conf")
        << "PROVIDER=/usr/lib/vant/libvant-directory.so\nURI=" << uri
        << "\nBASE=" << vant::test::kDirectorySuffix << "\nBINDDN=" << vant::test::kDirectoryAdmin
        << "\nSECRET=/etc/vant/directory.secret\nTIMEOUT=3\n";
    std::ofstream(root + "/etc/vant/directory.secret") << vant::test::kDirectorySecret << "\n";
    chmod((root + "/etc/vant/directory.secret").c_str(), 0600);
    return root;
}

bool bind_baseline(const std::string &uri) {
    int version = LDAP_VERSION3;
    if (ldap_initialize(&run.ld, uri.c_str()) != LDAP_SUCCESS) return false;
    ldap_set_option(run.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    struct berval secret = {strlen(vant::test::kDirectorySecret),
                            const_cast<char *>(vant::test::kDirectorySecret)};
    return ldap_sasl_bind_s(run.ld, vant::test::kDirectoryAdmin, LDAP_SASL_SIMPLE, &secret, nullptr,
                            nullptr, nullptr) == LDAP_SUCCESS;
}

// One size, in a process of its own: the library's state and the
// provider's settings are the process's.
int measure(int users, int argc, char **argv) {
    run.users = users;
    vant::test::SlapdServer server;
    std::string why;
    if (!server.start(vant::test::directory_ldif(users, 10, "abcdefghijklm"), "", why)) {
        fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    std::string root = system_for(server.uri());
    setenv("VANT_ROOT", root.c_str(), 1);
    static char program[] = "directory_bench";
    static char *args[] = {program, nullptr};
    set_auth_parameters(1, args);
    std::mt19937 random(42);
    for (size_t k = 0; k < kProbes; ++k)
        run.names.push_back(directory_user(1 + static_cast<int>(random() % users)));
    if (!bind_baseline(server.uri())) {
        fprintf(stderr, "cannot bind\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n%d directory users\n", users);
    recorder.print_ratio("pw_nametoid / one libldap search", "BM_PwNameToId", "BM_LdapSearch");
    recorder.print_ratio("provider lookup / one libldap search", "BM_ProviderLookup",
                         "BM_LdapSearch");
    recorder.print_ratio("getprpwnam / one libldap search", "BM_Getprpwnam", "BM_LdapSearch");
    ldap_unbind_ext_s(run.ld, nullptr, nullptr);
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    fflush(stdout);  // the child ends with _exit
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    int status = 0;
    for (int users : {1000, 10000}) {
        fflush(stdout);
        pid_t child = fork();
        if (child == 0) _exit(measure(users, argc, argv));
        int s = 0;
        waitpid(child, &s, 0);
        if (!WIFEXITED(s) || WEXITSTATUS(s) != 0) status = 1;
    }
    return status;
}
