/* iconv for FreeXL on Windows, where mingw has none: the text goes through UTF-16 with
 * MultiByteToWideChar and WideCharToMultiByte, which refuse what they cannot convert instead of
 * guessing, as glibc's iconv does. */
#include "iconv.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

struct LexicornIconv {
    UINT codePage;
};

enum { kUtf16CodePage = 1200, kAsciiCodePage = 20127 };

static const struct {
    const char* name;
    UINT codePage;
} kNamedCodePages[] = {{"UTF-16LE", kUtf16CodePage}, {"ASCII", kAsciiCodePage}, {"MacRoman", 10000}};

/* The code page a name stands for, or 0. */
static UINT CodePageNamed(const char* name) {
    for (size_t i = 0; i < sizeof kNamedCodePages / sizeof kNamedCodePages[0]; ++i)
        if (strcmp(name, kNamedCodePages[i].name) == 0) return kNamedCodePages[i].codePage;
    if (strncmp(name, "CP", 2) != 0 || name[2] < '1' || name[2] > '9') return 0;
    char* end = NULL;
    const unsigned long number = strtoul(name + 2, &end, 10);
    if (*end != '\0' || number > 65535 || !IsValidCodePage((UINT)number)) return 0;
    return (UINT)number;
}

iconv_t iconv_open(const char* toCode, const char* fromCode) {
    const UINT codePage = CodePageNamed(fromCode);
    if (strcmp(toCode, "UTF-8") != 0 || codePage == 0) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    iconv_t converter = malloc(sizeof *converter);
    if (!converter) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    converter->codePage = codePage;
    return converter;
}

int iconv_close(iconv_t converter) {
    free(converter);
    return 0;
}

static size_t Refuse(int error) {
    errno = error;
    return (size_t)-1;
}

/* Windows gives a byte that a code page leaves undefined a character all the same: a C1 control, a
 * private-use character or, in ASCII, the byte's lower seven bits. glibc refuses such bytes, and so do
 * we. */
static int Undefined(UINT codePage, const char* input, int inputBytes, const wchar_t* wide, int units) {
    if (codePage == kUtf16CodePage) return 0;
    if (codePage == kAsciiCodePage) {
        for (int i = 0; i < inputBytes; ++i)
            if ((unsigned char)input[i] >= 0x80) return 1;
        return 0;
    }
    for (int i = 0; i < units; ++i)
        if ((wide[i] >= 0x80 && wide[i] <= 0x9F) || (wide[i] >= 0xE000 && wide[i] <= 0xF8FF)) return 1;
    return 0;
}

/* The input as UTF-16 in a buffer of its own (a UTF-16 input may sit at an odd address), or NULL with
 * errno set. */
static wchar_t* Utf16Of(UINT codePage, const char* input, int inputBytes, int* units) {
    if (codePage == kUtf16CodePage) {
        if (inputBytes % 2 != 0) {
            errno = EINVAL;
            return NULL;
        }
        *units = inputBytes / 2;
    } else {
        *units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, input, inputBytes, NULL, 0);
        if (*units == 0) {
            errno = EILSEQ;
            return NULL;
        }
    }
    wchar_t* wide = malloc((size_t)*units * sizeof(wchar_t));
    if (!wide) {
        errno = ENOMEM;
        return NULL;
    }
    if (codePage == kUtf16CodePage)
        memcpy(wide, input, (size_t)inputBytes);
    else
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, input, inputBytes, wide, *units);
    if (Undefined(codePage, input, inputBytes, wide, *units)) {
        free(wide);
        errno = EILSEQ;
        return NULL;
    }
    return wide;
}

size_t iconv(iconv_t converter, char** input, size_t* inputLeft, char** output, size_t* outputLeft) {
    /* Without input, iconv resets its shift state: these conversions keep none. */
    if (!input || !*input || *inputLeft == 0) return 0;
    if (*inputLeft > INT_MAX) return Refuse(E2BIG);
    int units = 0;
    wchar_t* wide = Utf16Of(converter->codePage, *input, (int)*inputLeft, &units);
    if (!wide) return (size_t)-1;
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, units, NULL, 0, NULL, NULL);
    if (bytes == 0 || (size_t)bytes > *outputLeft) {
        free(wide);
        return Refuse(bytes == 0 ? EILSEQ : E2BIG);
    }
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, units, *output, bytes, NULL, NULL);
    free(wide);
    *input += *inputLeft;
    *inputLeft = 0;
    *output += bytes;
    *outputLeft -= (size_t)bytes;
    return 0;
}
