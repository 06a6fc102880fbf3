// jsmn built twice, once in its default mode and once with JSMN_PARENT_LINKS
// (each in its own file: the mode changes the token layout). Both count the
// tokens of a text into a caller's array of `cap` tokens of that mode.
#pragma once
#include <cstddef>

int jsmnDefaultParse(const char* text, size_t len, void* tokens, unsigned cap);
int jsmnLinksParse(const char* text, size_t len, void* tokens, unsigned cap);
// Bytes of one token of each mode.
size_t jsmnDefaultTokenSize();
size_t jsmnLinksTokenSize();
