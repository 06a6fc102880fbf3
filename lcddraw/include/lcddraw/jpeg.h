// Baseline JPEG decoding into 24-bit RGB or 8-bit grey, one picture at a
// time (one process-wide context).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _nj_result {
    NJ_OK = 0,
    NJ_NO_JPEG,      // not a JPEG
    NJ_UNSUPPORTED,  // a feature this decoder does not handle
    NJ_OUT_OF_MEM,
    NJ_INTERNAL_ERR,
    NJ_SYNTAX_ERROR,
    __NJ_FINISHED,  // scan finished while decoding; becomes NJ_OK
} nj_result_t;

void njInit(void);
nj_result_t njDecode(const void* jpeg, const int size);
int njGetWidth(void);
int njGetHeight(void);
int njIsColor(void);
unsigned char* njGetImage(void);
int njGetImageSize(void);
void njDone(void);

#ifdef __cplusplus
}
#endif
