// jsmn in its default mode: no parent links, not strict.
#include "jsmn_modes.h"

#define JSMN_STATIC
#include <jsmn.h>

int jsmnDefaultParse(const char* text, size_t len, void* tokens, unsigned cap) {
    jsmn_parser p;
    jsmn_init(&p);
    return jsmn_parse(&p, text, len, static_cast<jsmntok_t*>(tokens), cap);
}

size_t jsmnDefaultTokenSize() { return sizeof(jsmntok_t); }
