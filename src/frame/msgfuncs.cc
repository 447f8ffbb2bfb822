// Message reporting: print with the command name, or store for the client.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "frame/catalog.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

struct Node {
    char *text;
    int severity;
    Node *next;
};

struct MessageState {
    nl_catd catalog = (nl_catd)-1;
    bool storing = false;
    Node *head = nullptr;
    Node *tail = nullptr;
    Node *current = nullptr;
    bool collected = false;
    bool no_memory = false;
    char buffer[1024] = {};
};
MessageState state;

bool catalog_open() {
    return state.catalog != (nl_catd)-1;
}

void free_list() {
    for (Node *n = state.head; n != nullptr;) {
        Node *next = n->next;
        free(n->text);
        free(n);
        n = next;
    }
    state.head = state.tail = state.current = nullptr;
    state.no_memory = false;
}

void append(int severity) {
    if (state.no_memory) return;
    Node *node = static_cast<Node *>(malloc(sizeof(Node)));
    char *copy = strdup(state.buffer);
    if (node == nullptr || copy == nullptr) {
        free(node);
        free(copy);
        state.no_memory = true;
        return;
    }
    *node = Node{copy, severity, nullptr};
    if (state.tail != nullptr)
        state.tail->next = node;
    else
        state.head = node;
    state.tail = node;
}

void print(int severity) {
    if (command_name != nullptr)
        fprintf(stderr, "%s: %s\n", command_name, state.buffer);
    else
        fprintf(stderr, "%s\n", state.buffer);
    if (severity == VANT_SEV_FATAL) {
        fflush(stderr);
        exit(1);
    }
}

}  // namespace

namespace vant::frame {

void set_auth_msg(int behaviour) {
    if (behaviour & VANT_MSG_CATALOG) {
        if (!catalog_open()) state.catalog = vant::frame::open_catalog();
    } else if (catalog_open()) {
        catclose(state.catalog);
        state.catalog = (nl_catd)-1;
    }
    if (behaviour & VANT_MSG_STORE) {
        state.storing = true;
    } else {
        if (state.storing) {
            free_list();
            state.collected = false;
        }
        state.storing = false;
    }
}

int get_auth_msg_behaviour(void) {
    return (state.storing ? VANT_MSG_STORE : 0) | (catalog_open() ? VANT_MSG_CATALOG : 0);
}

const char *intl_msg(int number, const char *default_text) {
    if (!catalog_open()) return default_text;
    return vant::frame::catalog_text(state.catalog, number, default_text);
}

void store_msg(int severity, const char *format, ...) {
    va_list args;
    va_start(args, format);
    frame::vstore_msg(severity, format, args);
    va_end(args);
}

void vstore_msg(int severity, const char *format, va_list args) {
    // A longer message is cut at the end of the buffer.
    vsnprintf(state.buffer, sizeof state.buffer, format, args);
    if (!state.storing) {
        print(severity);
        return;
    }
    if (state.collected) {
        free_list();
        state.collected = false;
    }
    append(severity);
}

int get_auth_msg(char **text) {
    if (!state.storing) return 0;
    if (text == nullptr) {
        state.current = nullptr;
        state.collected = true;
        return 0;
    }
    if (!state.collected) {
        state.collected = true;
        state.current = state.head;
    }
    if (state.no_memory) return VANT_MSG_LOST;
    if (state.current == nullptr) return 0;
    Node *node = state.current;
    *text = node->text;
    state.current = node->next;
    return node->severity;
}

}  // namespace vant::frame
