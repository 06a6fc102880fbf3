// jsmn with JSMN_PARENT_LINKS: closing a container follows the parent links
// instead of searching back through the tokens. Not strict, like the default.
#define JSMN_PARENT_LINKS
#define JSMN_MODE_PARSE jsmnLinksParse
#define JSMN_MODE_TOKEN_SIZE jsmnLinksTokenSize
#include "jsmn_mode.h"
