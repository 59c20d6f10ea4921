/*
 * The display of a small device: its texts are compiled into flash (Lexicorn.c) and sent from
 * there to a serial port, nothing copied, in the language chosen.
 */
#include "LXNApiCfg.h" /* includes Lexicorn.h */
#include "StringList.h"

/* The transmit register of the device's serial port. */
#define SERIAL_DATA (*(volatile uint8_t*)0x40004400u)

static void send(const void* bytes, size_t count) {
    const uint8_t* byte = (const uint8_t*)bytes;
    while (count-- > 0) SERIAL_DATA = *byte++;
}

/* The string in the chosen language, else in the default one. */
static int show(const lxn_image* image, const char* code, STRING_ID id) {
    uint32_t language = 0;
    const void* text;
    size_t length;
    lxn_find_language(image, code, &language);
    if (lxn_get_string_ref(image, language, id, &text, &length) != LXN_OK) return 0;
    send(text, length * (image->encoding == 1 ? 2u : 1u));
    return 1;
}

int main(void) {
    lxn_image image;
    if (lxn_attach_embedded(&image) != LXN_OK) return 1;
    return show(&image, "de", READY_TEXT) && show(&image, "fr", WATER_TEXT) ? 0 : 2;
}
