// vant-db: the administration tool for the protected databases.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "commands.h"
#include "vant.h"

namespace {

using vantdb::Command;

void usage(FILE *out) {
    fprintf(out,
            "usage: vant-db [--json] COMMAND [OPERANDS]\n"
            "Administers the protected authentication databases of the root that\n"
            "VANT_ROOT names (the host's when it is unset).\n\n");
    for (const Command &c : vantdb::all_commands()) {
        std::string words =
            std::string(c.verb) + (c.noun[0] ? " " : "") + c.noun + " " + c.operands;
        fprintf(out, "  %-34s %s\n", words.c_str(), c.summary);
    }
    fprintf(out,
            "\n  --json    read commands print JSON\n"
            "  --help    this text\n"
            "Exit status: 0 done, 1 check found a disagreement, 2 an error.\n");
}

// A root that was named but is not there is an error of its own, not
// a system without users.
bool root_usable() {
    const char *root = getenv("VANT_ROOT");
    struct stat st;
    return root == nullptr || (stat(root, &st) == 0 && S_ISDIR(st.st_mode));
}

}  // namespace

int main(int argc, char **argv) {
    set_auth_parameters(argc, argv);
    vantdb::Request request;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (strcmp(argv[i], "--json") == 0) {
            request.json = true;
        } else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return vantdb::kOk;
        } else {
            return vantdb::fail(std::string("unknown option ") + argv[i] + " (see --help)");
        }
    }
    if (i == argc) {
        usage(stderr);
        return vantdb::kFailed;
    }
    std::string verb = argv[i++];
    std::string noun = i < argc ? argv[i] : "";
    const Command *c = vantdb::find_command(verb, noun);
    if (c == nullptr)
        return vantdb::fail("unknown command \"" + verb + (noun.empty() ? "" : " " + noun) +
                            "\" (see --help)");
    if (c->noun[0] != '\0') ++i;
    request.operands.assign(argv + i, argv + argc);
    int n = static_cast<int>(request.operands.size());
    if (n < c->min_operands || (c->max_operands >= 0 && n > c->max_operands))
        return vantdb::fail(std::string("usage: vant-db ") + c->verb + (c->noun[0] ? " " : "") +
                            c->noun + " " + c->operands);
    if (c->run != vantdb::init && !root_usable())
        return vantdb::fail(std::string("VANT_ROOT names no directory: ") + getenv("VANT_ROOT"));
    return c->run(request);
}
