// jsmn in its default mode: no parent links, not strict.
#define JSMN_MODE_PARSE jsmnDefaultParse
#define JSMN_MODE_TOKEN_SIZE jsmnDefaultTokenSize
#include "jsmn_mode.h"
