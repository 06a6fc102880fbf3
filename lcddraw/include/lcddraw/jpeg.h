/**
 * @file
 * Baseline JPEG decoding into 24-bit RGB or 8-bit grey, one picture at a
 * time (one process-wide context, not re-entrant).
 *
 * Use: njInit(), njDecode(), read the picture with njGetWidth(),
 * njGetHeight(), njIsColor() and njGetImage(), then njDone().
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/** Result of njDecode(). */
typedef enum _nj_result {
    NJ_OK = 0,       /**< decoded */
    NJ_NO_JPEG,      /**< not a JPEG (no start-of-image marker) */
    NJ_UNSUPPORTED,  /**< a feature this decoder does not handle (progressive, arithmetic, ...) */
    NJ_OUT_OF_MEM,   /**< out of memory */
    NJ_INTERNAL_ERR, /**< internal error */
    NJ_SYNTAX_ERROR, /**< broken or truncated data */
    __NJ_FINISHED,   /**< scan finished while decoding; becomes NJ_OK */
} nj_result_t;

/** Clears the context. */
void njInit(void);
/** Decodes `size` bytes of JPEG at `jpeg` (releasing a previous picture
 * first); the result code. The data is not kept. */
nj_result_t njDecode(const void* jpeg, const int size);
/** Width of the decoded picture, pixels. */
int njGetWidth(void);
/** Height of the decoded picture, pixels. */
int njGetHeight(void);
/** Non-zero for a colour picture (three components), 0 for grey. */
int njIsColor(void);
/** The pixels: R, G, B bytes for colour, one grey byte otherwise, rows top
 * to bottom. Owned by the context: valid until njDone() or the next
 * njDecode(). */
unsigned char* njGetImage(void);
/** Bytes of njGetImage(): width * height * (3 or 1). */
int njGetImageSize(void);
/** Frees the picture and clears the context. */
void njDone(void);

#ifdef __cplusplus
}
#endif

#pragma GCC visibility pop
