/**
 * @file
 * Small JSON tokenizer and emitter.
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

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/** Kind of a token. */
enum json_type {
    JSON_TYPE_EOF = 0,    /**< end marker */
    JSON_TYPE_STRING = 1, /**< a string; also an object key */
    JSON_TYPE_NUMBER = 2, /**< a number */
    JSON_TYPE_OBJECT = 3, /**< an object: its keys and values follow */
    JSON_TYPE_TRUE = 4,   /**< true */
    JSON_TYPE_FALSE = 5,  /**< false */
    JSON_TYPE_NULL = 6,   /**< null */
    JSON_TYPE_ARRAY = 7   /**< an array: its elements follow */
};

/** One value of the document, pointing into the caller's text. */
struct json_token {
    /** First character of the value; for a string the one after the opening
     * quote, for an object or array the opening brace or bracket. For the
     * end marker: where parsing stopped. */
    const char* start;
    /** Strings without their quotes (raw, escapes not decoded); objects and
     * arrays including the closing brace or bracket. */
    int length;
    /** Tokens that follow this one and belong to it (0 for scalars). */
    int descendants;
    /** What the value is. */
    enum json_type kind;
};
/** The token type by its plain name. */
typedef struct json_token json_token;

/** Result of parse_json(): not valid JSON, or nested too deep. */
#define JSON_STRING_INVALID (-1)
/** Result of parse_json(): the text ends too early. */
#define JSON_STRING_INCOMPLETE (-2)
/** Result of parse_json(): token array full (or growing it failed). */
#define JSON_TOKEN_ARRAY_TOO_SMALL (-3)

/** Objects and arrays nested deeper than this are refused as invalid text, so
 * that hostile input cannot exhaust memory or stack. */
#define JSON_MAX_DEPTH 1024

/** Tokenizes the first complete object or array of s (s_len characters; s
 * need not be terminated and is never read past s_len). tokens may be null:
 * the text is then only checked. The array needs one slot per value plus
 * one for the end marker. Returns the number of characters consumed, or a
 * negative result code. */
int parse_json(const char* s, int s_len, json_token* tokens, int capacity);

/** Like parse_json() with a token array it allocates (100 tokens, doubled as
 * needed). The caller frees the result with free(); null on any error. The
 * tokens point into `s`, which must outlive them. */
json_token* parse_json2(const char* s, int s_len);

/** Looks up a path such as "devices[2].name" ("[]" is the first element) in
 * the tokens of parse_json() or parse_json2(). Returns the token found (in
 * the array), or null. */
json_token* find_json_token(json_token* tokens, const char* path);

/** Writes JSON from a format: "{}[],:" and blanks copied; i long, f double,
 * s zero-terminated text quoted, v (text, int length) quoted, S and V the
 * same unquoted, T true, F false, N null. Any other format character stops
 * the output and makes the result 0. Nothing is written at or beyond
 * buf + size; returns the length of the full output, terminated when there
 * is room. */
int json_emit(char* buf, int size, const char* fmt, ...);
/** json_emit() with the arguments in a va_list. */
int json_emit_va(char* buf, int size, const char* fmt, va_list ap);

/** Writes a number in decimal; returns the length of its full output. */
int json_emit_long(char* buf, int size, long value);
/** Writes a floating-point number as printf "%g" does; returns the length of
 * its full output. */
int json_emit_double(char* buf, int size, double value);
/** Writes `length` characters of `text` as a quoted JSON string, escaping
 * what needs it; returns the length of the full output. */
int json_emit_quoted_str(char* buf, int size, const char* text, int length);
/** Writes `length` characters of `text` as they are; returns the length of
 * the full output. */
int json_emit_unquoted_str(char* buf, int size, const char* text, int length);

/** Copies the text of the value at path (strings without quotes) into out,
 * terminated, cut at 511999 characters (out holds 512000 bytes, or the
 * value's length plus one); returns 1, or 0 when not found (after printing a
 * message to standard output). */
int getJsonValue(const char* path, char* out, json_token* tokens);

#ifdef __cplusplus
}

/** The value at path converted with atoi; 0 when not found (after printing a
 * message to standard output). A C++ overload, not exported with a C name. */
int getJsonValue(const char* path, json_token* tokens);
#endif

#pragma GCC visibility pop

#endif /* HACORE_FROZEN_H */
