// Reading the authorization declaration into the process's table.
#include "authorizations/declarations.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "frame/frame.h"
#include "frame/messages.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::authorizations {
namespace {

constexpr char kBuiltIn[] =
    "audit:audittrail\n"
    "auth:su,passwd\n"
    "backup:queryspace\n"
    "cron:\n"
    "lp:printqueue,printerstat\n"
    "mem:\n"
    "sysadmin:\n"
    "terminal:\n"
    "uucp:\n"
    "root:shutdown\n";

struct Table {
    char *text;
    PrimaryAuth *primaries;
    SecondaryAuth *secondaries;
    Declarations view;
    bool blank_reported;
};
Table table;

void report_problem(const frame::Message &reason) {
    frame::intl_audit_no_resource(kAuthorizePath, kAuthorizePath, 1, *reason.text,
                                  frame::text_of(reason));
}

void report_blank() {
    if (table.blank_reported) return;
    table.blank_reported = true;
    frame::audit_auth_entry(kAuthorizePath, kAuthorizeObject, "contains a blank line");
    frame::report(VANT_SEV_WARNING, frame::msg_vant_authblankline);
}

void release() {
    free(table.text);
    free(table.primaries);
    free(table.secondaries);
    table.text = nullptr;
    table.primaries = nullptr;
    table.secondaries = nullptr;
    table.view = Declarations{};
}

// The whole declaration as one NUL-terminated text, or null (reported).
char *read_text() {
    FILE *f = platform::fopen_file(kAuthorizePath, "r");
    if (f == nullptr) {
        if (frame::oktofaketcb()) return strdup(kBuiltIn);
        report_problem(frame::msg_vant_badopen);
        return nullptr;
    }
    struct stat st;
    char *text = nullptr;
    if (fstat(fileno(f), &st) == 0 && (text = static_cast<char *>(malloc(st.st_size + 1)))) {
        if (fread(text, 1, st.st_size, f) == static_cast<size_t>(st.st_size)) {
            text[st.st_size] = '\0';
        } else {
            free(text);
            text = nullptr;
            report_problem(frame::msg_vant_badread);
        }
    } else {
        frame::audit_no_memory();
    }
    fclose(f);
    return text;
}

struct Counts {
    int primaries = 0;
    int secondaries = 0;
};

Counts count(const char *text) {
    Counts c;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == ':') {
            ++c.primaries;
            if (p[1] != '\n') ++c.secondaries;
        } else if (*p == ',') {
            ++c.secondaries;
        }
    }
    return c;
}

// Walks the text, recording every name with its number. Returns false
// after reporting a malformed or overfull declaration.
struct Walk {
    int number = 0;
    int complete_lines = 0;

    bool room() {
        if (number < kMaxAuthorizations) return true;
        report_problem(frame::msg_vant_toomanysubsys);
        return false;
    }

    // One line from `p`; returns the start of the next line, or null.
    char *line(char *p) {
        if (!room()) return nullptr;
        char *colon = strchr(p, ':');
        char *newline = strchr(p, '\n');
        if (colon == nullptr || (newline != nullptr && newline < colon)) {
            report_problem(frame::msg_vant_missingcolon);
            return nullptr;
        }
        *colon = '\0';
        table.primaries[table.view.nprimary++] = {p, number++};
        const char *primary = p;
        p = colon + 1;
        while (*p != '\0' && *p != '\n') {
            if (!room()) return nullptr;
            char *end = p + strcspn(p, ",\n");
            char stop = *end;
            *end = '\0';
            table.secondaries[table.view.nsecondary++] = {p, number++, primary};
            p = stop == '\0' ? end : end + 1;
            if (stop == '\n') return complete(p);
        }
        return *p == '\n' ? complete(p + 1) : p;
    }

    char *complete(char *next) {
        ++complete_lines;
        return next;
    }
};

bool walk(char *text, const Counts &counted) {
    Walk w;
    for (char *p = text; p != nullptr && *p != '\0';) {
        if (*p == '\n') {
            report_blank();
            ++p;
            continue;
        }
        p = w.line(p);
        if (p == nullptr) return false;
    }
    if (w.complete_lines < table.view.nprimary || table.view.nsecondary < counted.secondaries) {
        frame::audit_auth_entry(kAuthorizePath, kAuthorizeObject, "missing trailing linefeed");
        frame::report(VANT_SEV_WARNING, frame::msg_vant_authnolinefeed);
    }
    return true;
}

}  // namespace

int read_authorizations() {
    release();
    table.text = read_text();
    if (table.text == nullptr) return -1;
    Counts counted = count(table.text);
    table.primaries =
        static_cast<PrimaryAuth *>(calloc(counted.primaries + 1, sizeof(PrimaryAuth)));
    table.secondaries =
        static_cast<SecondaryAuth *>(calloc(counted.secondaries + 1, sizeof(SecondaryAuth)));
    if (table.primaries == nullptr || table.secondaries == nullptr) {
        frame::audit_no_memory();
        release();
        return -1;
    }
    if (!walk(table.text, counted)) {
        release();
        return -1;
    }
    table.view.primaries = table.primaries;
    table.view.secondaries = table.secondaries;
    ST_MAX_CPRIV = table.view.nprimary + table.view.nsecondary - 1;
    return 0;
}

const Declarations *declarations() {
    if (table.view.nprimary + table.view.nsecondary == 0 && read_authorizations() != 0)
        return nullptr;
    return &table.view;
}

}  // namespace vant::authorizations
