/*
 * The display of a small device: its texts are compiled in (Lexicorn.c) and read through the
 * Lexicorn runtime in the language chosen, here each of the two the image holds.
 */
#include <stdio.h>

#include "LXNApiCfg.h" /* includes Lexicorn.h */
#include "StringList.h"

static int show(const lxn_image* image, const char* code, STRING_ID id) {
    uint32_t language;
    char text[64];
    if (lxn_find_language(image, code, &language) != LXN_OK) return 0;
    if (lxn_get_string(image, language, id, text, sizeof text, NULL) != LXN_OK) return 0;
    printf("%s: %s\n", code, text);
    return 1;
}

int main(void) {
    lxn_image image;
    if (lxn_attach_embedded(&image) != LXN_OK) return 1;
    return show(&image, "en", READY_TEXT) && show(&image, "de", READY_TEXT) ? 0 : 1;
}
