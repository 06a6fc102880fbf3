/* Small JSON tokenizer and emitter.
 *
 * The tokenizer builds no tree and copies no strings: it fills an array of
 * tokens that point into the caller's text, one token per value in document
 * order (a container before its contents), followed by an end marker.
 * The emitter writes JSON into a caller's buffer from a compact format.
 *
 * Exported with C names: other processes and libraries link against them.
 */
#ifndef HACORE_FROZEN_H
#define HACORE_FROZEN_H

#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

enum json_type {
    JSON_TYPE_EOF = 0,    /* end marker */
    JSON_TYPE_STRING = 1, /* also an object key */
    JSON_TYPE_NUMBER = 2,
    JSON_TYPE_OBJECT = 3,
    JSON_TYPE_TRUE = 4,
    JSON_TYPE_FALSE = 5,
    JSON_TYPE_NULL = 6,
    JSON_TYPE_ARRAY = 7
};

struct json_token {
    /* First character of the value; for a string the one after the opening
     * quote, for an object or array the opening brace or bracket. For the
     * end marker: where parsing stopped. */
    const char* start;
    /* Strings without their quotes (raw, escapes not decoded); objects and
     * arrays including the closing brace or bracket. */
    int length;
    /* Tokens that follow this one and belong to it (0 for scalars). */
    int descendants;
    enum json_type kind;
};
typedef struct json_token json_token;

/* Result codes of parse_json. */
#define JSON_STRING_INVALID (-1)        /* not valid JSON, or nested too deep */
#define JSON_STRING_INCOMPLETE (-2)     /* the text ends too early */
#define JSON_TOKEN_ARRAY_TOO_SMALL (-3) /* token array full (or growing it failed) */

/* Objects and arrays nested deeper than this are refused as invalid text, so
 * that hostile input cannot exhaust memory or stack. */
#define JSON_MAX_DEPTH 1024

/* Tokenizes the first complete object or array of s (s_len characters; s
 * need not be terminated and is never read past s_len). tokens may be null:
 * the text is then only checked. The array needs one slot per value plus
 * one for the end marker. Returns the number of characters consumed, or a
 * negative result code. */
int parse_json(const char* s, int s_len, json_token* tokens, int capacity);

/* Like parse_json with a token array it allocates (100 tokens, doubled as
 * needed). The caller frees the result with free(); null on any error. */
json_token* parse_json2(const char* s, int s_len);

/* Looks up a path such as "devices[2].name" ("[]" is the first element).
 * Returns the token found, or null. */
json_token* find_json_token(json_token* tokens, const char* path);

/* Writes JSON from a format: "{}[],:" and blanks copied; i long, f double,
 * s zero-terminated text quoted, v (text, int length) quoted, S and V the
 * same unquoted, T true, F false, N null. Any other format character stops
 * the output and makes the result 0. Nothing is written at or beyond
 * buf + size; returns the length of the full output, terminated when there
 * is room. */
int json_emit(char* buf, int size, const char* fmt, ...);
int json_emit_va(char* buf, int size, const char* fmt, va_list ap);

/* The emitter's pieces; each returns the length of its full output. */
int json_emit_long(char* buf, int size, long value);
int json_emit_double(char* buf, int size, double value);
int json_emit_quoted_str(char* buf, int size, const char* text, int length);
int json_emit_unquoted_str(char* buf, int size, const char* text, int length);

/* Copies the text of the value at path (strings without quotes) into out,
 * terminated, cut at 511999 characters; returns 1, or 0 when not found
 * (after printing a message to standard output). */
int getJsonValue(const char* path, char* out, json_token* tokens);

#ifdef __cplusplus
}

/* The value at path converted with atoi; 0 when not found (after printing a
 * message to standard output). */
int getJsonValue(const char* path, json_token* tokens);
#endif

#endif /* HACORE_FROZEN_H */
