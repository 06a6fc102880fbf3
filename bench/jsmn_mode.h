// The parse and token size functions of one jsmn mode, named JSMN_MODE_PARSE
// and JSMN_MODE_TOKEN_SIZE by the file that includes this one after setting
// the mode's macros (see jsmn_modes.h).
#include "jsmn_modes.h"

#define JSMN_STATIC
#include <jsmn.h>

int JSMN_MODE_PARSE(const char* text, size_t len, void* tokens, unsigned cap) {
    jsmn_parser p;
    jsmn_init(&p);
    return jsmn_parse(&p, text, len, static_cast<jsmntok_t*>(tokens), cap);
}

size_t JSMN_MODE_TOKEN_SIZE() { return sizeof(jsmntok_t); }
