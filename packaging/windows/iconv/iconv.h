/* The part of iconv that FreeXL calls, over the Win32 code pages: conversions into "UTF-8" from
 * "UTF-16LE", "ASCII", "MacRoman" and "CPnnn" (a Windows code page by its number). */
#ifndef LEXICORN_ICONV_H
#define LEXICORN_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct LexicornIconv* iconv_t;

/* (iconv_t)-1 with errno EINVAL for a conversion this shim does not make. */
iconv_t iconv_open(const char* toCode, const char* fromCode);
/* Converts the whole input at once, as FreeXL hands over whole strings: (size_t)-1 with errno EILSEQ
 * for bytes the code page does not define (and an unpaired surrogate), EINVAL for a UTF-16 string
 * cut in a character, E2BIG when the output has no room. Nothing is converted then. */
size_t iconv(iconv_t converter, char** input, size_t* inputLeft, char** output, size_t* outputLeft);
int iconv_close(iconv_t converter);

#ifdef __cplusplus
}
#endif

#endif
