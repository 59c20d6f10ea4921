/* Prints what iconv makes of every byte (and of a few double-byte characters) in each character set
 * FreeXL converts from: built against glibc and against our Windows iconv, the two lists must agree.
 * Built by windows-xls.sh. */
#include <iconv.h>
#include <stdio.h>
#include <string.h>

static void Answer(iconv_t converter, const char* name, const unsigned char* bytes, size_t length) {
    char input[8], output[32];
    memcpy(input, bytes, length);
    char* in = input;
    char* out = output;
    size_t inLeft = length, outLeft = sizeof output;
    printf("%s", name);
    for (size_t i = 0; i < length; ++i) printf(" %02x", bytes[i]);
    /* glibc holds back a letter that a combining mark may follow until it is flushed. */
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == (size_t)-1 ||
        iconv(converter, NULL, NULL, &out, &outLeft) == (size_t)-1) {
        printf(": refused\n");
        return;
    }
    printf(":");
    for (char* at = output; at < out; ++at) printf(" %02x", (unsigned char)*at);
    printf("\n");
}

int main(void) {
    static const char* const names[] = {"ASCII",  "CP437",  "CP720",  "CP737",  "CP775",  "CP850",   "CP852",
                                        "CP855",  "CP857",  "CP858",  "CP860",  "CP861",  "CP862",   "CP863",
                                        "CP864",  "CP865",  "CP866",  "CP869",  "CP874",  "CP932",   "CP936",
                                        "CP949",  "CP950",  "CP1250", "CP1251", "CP1252", "CP1253",  "CP1254",
                                        "CP1255", "CP1256", "CP1257", "CP1258", "CP1361", "MacRoman"};
    /* 日本 in Shift-JIS, 中文 in GBK, 한국 in UHC, 中文 in Big5, 한 in Johab. */
    static const unsigned char doubleBytes[][4] = {{0x93, 0xfa, 0x96, 0x7b},
                                                   {0xd6, 0xd0, 0xce, 0xc4},
                                                   {0xc7, 0xd1, 0xb1, 0xb9},
                                                   {0xa4, 0xa4, 0xa4, 0xe5},
                                                   {0xd0, 0x65, 0x00, 0x00}};
    for (size_t n = 0; n < sizeof names / sizeof names[0]; ++n) {
        iconv_t converter = iconv_open("UTF-8", names[n]);
        if (converter == (iconv_t)-1) {
            printf("%s: not known\n", names[n]);
            continue;
        }
        for (unsigned byte = 1; byte < 256; ++byte) {
            const unsigned char one = (unsigned char)byte;
            Answer(converter, names[n], &one, 1);
        }
        for (size_t d = 0; d < sizeof doubleBytes / sizeof doubleBytes[0]; ++d)
            Answer(converter, names[n], doubleBytes[d], doubleBytes[d][2] ? 4 : 2);
        iconv_close(converter);
    }
    /* Text with a character outside the BMP, and an unpaired surrogate. */
    static const unsigned char utf16[] = {0x41, 0x00, 0xe4, 0x00, 0x3d, 0xd8, 0x00, 0xde};
    static const unsigned char lone[] = {0x41, 0x00, 0x3d, 0xd8};
    iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    Answer(converter, "UTF-16LE", utf16, sizeof utf16);
    Answer(converter, "UTF-16LE", lone, sizeof lone);
    iconv_close(converter);
    return 0;
}
