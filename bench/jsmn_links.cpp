// jsmn with JSMN_PARENT_LINKS: closing a container follows the parent links
// instead of searching back through the tokens. Not strict, like the default.
#include "jsmn_modes.h"

#define JSMN_STATIC
#define JSMN_PARENT_LINKS
#include <jsmn.h>

int jsmnLinksParse(const char* text, size_t len, void* tokens, unsigned cap) {
    jsmn_parser p;
    jsmn_init(&p);
    return jsmn_parse(&p, text, len, static_cast<jsmntok_t*>(tokens), cap);
}

size_t jsmnLinksTokenSize() { return sizeof(jsmntok_t); }
