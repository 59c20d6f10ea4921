/* Compiled with the sources of one build: prints every language and string of the embedded image,
   one line each, and checks the runtime's other ways in (file where there is a file system, memory
   search), its lookup without a copy and its refusals. */
#include <stdio.h>
#include <string.h>

#include "LXNApiCfg.h"
#include "StringList.h"

#if LXNCFG_ENCODING_TYPE == LXN_ENCODING_UNICODE
typedef uint16_t unit;
#define NAME lxn_language_name16
#define STRING lxn_get_string16
#else
typedef char unit;
#define NAME lxn_language_name
#define STRING lxn_get_string
#endif

static unsigned char file_buffer[1 << 16];
static unsigned char memory[(1 << 16) + 256];

static int failures = 0;
#define CHECK(condition)                                          \
    do {                                                          \
        if (!(condition)) {                                       \
            printf("FAILED line %d: %s\n", __LINE__, #condition); \
            ++failures;                                           \
        }                                                         \
    } while (0)

static void print_units(const unit* text, size_t length) {
    size_t i;
    for (i = 0; i < length; ++i)
        printf(" %x", (unsigned)(sizeof(unit) == 1 ? (unsigned char)text[i] : text[i]));
    printf("\n");
}

/* The string where the image holds it: the units that the copy delivers, then the terminator. */
static void check_string_ref(const lxn_image* image, uint32_t language, uint32_t id, const unit* copied,
                             size_t length) {
    const void* text = NULL;
    const unsigned char* bytes;
    size_t ref_length = 0, i;
    CHECK(lxn_get_string_ref(image, language, id, &text, &ref_length) == LXN_OK && ref_length == length);
    bytes = (const unsigned char*)text;
    CHECK(bytes >= image->data && bytes + (length + 1) * sizeof(unit) <= image->data + image->size);
    for (i = 0; i <= length && bytes != NULL; ++i) {
        const unsigned char* at = bytes + i * sizeof(unit);
        const unsigned value = sizeof(unit) == 1   ? at[0]
                               : image->big_endian ? (unsigned)at[0] << 8 | at[1]
                                                   : (unsigned)at[1] << 8 | at[0];
        CHECK(value ==
              (i < length ? (unsigned)(sizeof(unit) == 1 ? (unsigned char)copied[i] : copied[i]) : 0u));
    }
}

/* A string longer than the buffer is cut and terminated inside it: nothing is written past the
   capacity, whatever it is, and the length is the whole string's. */
static void check_small_buffers(const lxn_image* image) {
    enum { kGuarded = 64 };
    unit guarded[kGuarded];
    size_t capacity, full = 0, length, i;
    CHECK(STRING(image, 0, TITLE, guarded, kGuarded, &full) == LXN_OK && full + 2 < kGuarded);
    for (capacity = 1; capacity <= full + 2; ++capacity) {
        for (i = 0; i < kGuarded; ++i) guarded[i] = (unit)0x5A;
        length = 0;
        CHECK(STRING(image, 0, TITLE, guarded, capacity, &length) ==
              (capacity > full ? LXN_OK : LXN_ERR_BUFFER));
        CHECK(length == full);
        CHECK(guarded[capacity > full ? full : capacity - 1] == 0);
        for (i = capacity; i < kGuarded; ++i) CHECK(guarded[i] == (unit)0x5A);
    }
}

int main(int argc, char** argv) {
    lxn_image image, loaded, found, damaged;
    const void* found_text = NULL;
    unit text[1000];
    size_t length = 0;
    uint32_t language, id, index;
    char code[3];
    size_t at;
    uint32_t data_start;
    if (argc != 2) return 2;

    if (lxn_attach_embedded(&image) != LXN_OK || image.string_count != NUMBER_OF_STRINGS) {
        printf("FAILED: the embedded image cannot be attached\n");
        return 1;
    }
    for (language = 0; language < image.language_count; ++language) {
        CHECK(lxn_language_code(&image, language, code) == LXN_OK);
        CHECK(NAME(&image, language, text, sizeof text / sizeof text[0], &length) == LXN_OK);
        printf("language %u %s", (unsigned)language, code);
        print_units(text, length);
        CHECK(lxn_find_language(&image, code, &index) == LXN_OK && index <= language);
        for (id = 0; id < image.string_count; ++id) {
            CHECK(STRING(&image, language, id, text, sizeof text / sizeof text[0], &length) == LXN_OK);
            printf("string %u %u", (unsigned)language, (unsigned)id);
            print_units(text, length);
            check_string_ref(&image, language, id, text, length);
        }
    }

#if LXNCFG_API_FOR_ROM == 0
    /* The same image from its file. */
    CHECK(lxn_load_file(&loaded, argv[1], file_buffer, sizeof file_buffer) == LXN_OK);
    CHECK(loaded.size == image.size && memcmp(loaded.data, image.data, image.size) == 0);
    CHECK(lxn_load_file(&loaded, argv[1], file_buffer, 10) == LXN_ERR_BUFFER);
    CHECK(lxn_load_file(&loaded, "no-such-file.bin", file_buffer, sizeof file_buffer) == LXN_ERR_FILE);
#else
    (void)argv;
    (void)loaded;
    (void)file_buffer;
#endif
    /* Found in memory at the search step. */
    at = 3 * LXNCFG_SEARCH_STEP;
    memset(memory, 0x4F, sizeof memory);
    memcpy(memory + at, image.data, image.size);
    CHECK(lxn_find(&found, memory, sizeof memory) == LXN_OK && found.data == memory + at);
    CHECK(lxn_find(&found, memory, at + 8) == LXN_ERR_NOT_FOUND);
    /* A null start is address 0, where a search may start (here with nothing to read there, which no
       program on this machine may read; tests/tools/arm-flash-at-zero.sh reads it on a Cortex-M3). A
       null buffer is still no image. */
    CHECK(lxn_find(&found, NULL, 0) == LXN_ERR_NOT_FOUND);
    CHECK(lxn_find(NULL, memory, sizeof memory) == LXN_ERR_ARGUMENT);
    CHECK(lxn_attach(&found, NULL, sizeof memory) == LXN_ERR_ARGUMENT);

    /* Refusals: counts out of range, a small buffer, a damaged image. */
    CHECK(STRING(&image, image.language_count, 0, text, 1000, &length) == LXN_ERR_RANGE);
    CHECK(STRING(&image, 0, NUMBER_OF_STRINGS, text, 1000, &length) == LXN_ERR_RANGE);
    CHECK(STRING(&image, 0, TITLE, text, 2, &length) == LXN_ERR_BUFFER && text[1] == 0 && length > 1);
    CHECK(STRING(&image, 0, TITLE, text, 0, &length) == LXN_ERR_ARGUMENT);
    CHECK(lxn_get_string_ref(&image, 0, NUMBER_OF_STRINGS, &found_text, &length) == LXN_ERR_RANGE);
    CHECK(lxn_get_string_ref(&image, 0, TITLE, NULL, &length) == LXN_ERR_ARGUMENT);
    check_small_buffers(&image);
    CHECK(lxn_attach(&damaged, image.data, image.size - 1) == LXN_ERR_DAMAGED);
    CHECK(lxn_attach(&damaged, image.data + 1, image.size - 1) == LXN_ERR_SIGNATURE);
    memcpy(memory, image.data, image.size);
    data_start = 44 + (image.big_endian ? (uint32_t)memory[40] << 24 | (uint32_t)memory[41] << 16 |
                                              (uint32_t)memory[42] << 8 | memory[43]
                                        : (uint32_t)memory[43] << 24 | (uint32_t)memory[42] << 16 |
                                              (uint32_t)memory[41] << 8 | memory[40]);
    memset(memory + data_start, 0x41, image.size - data_start); /* no string is terminated any more */
    CHECK(lxn_attach(&damaged, memory, image.size) == LXN_OK);
    CHECK(STRING(&damaged, image.language_count - 1, NUMBER_OF_STRINGS - 1, text, 1000, &length) ==
          LXN_ERR_DAMAGED);
    CHECK(text[0] == 0); /* a damaged string leaves an empty one */
    CHECK(lxn_get_string_ref(&damaged, image.language_count - 1, NUMBER_OF_STRINGS - 1, &found_text,
                             &length) == LXN_ERR_DAMAGED);
    /* A language whose code has no first character: an empty code finds it only if it has no
       second one either, and nothing past the empty code is read. */
    memset(memory + 44, 0, 4);
    memory[44 + (image.big_endian ? 3 : 0)] = 0x58;
    CHECK(lxn_find_language(&damaged, "", &index) == LXN_ERR_NOT_FOUND);
    memset(memory + 44, 0, 4);
    CHECK(lxn_find_language(&damaged, "", &index) == LXN_OK && index == 0);
    memset(memory + 44 + 8 * image.language_count, 0xFF, 4); /* an offset far outside */
    text[0] = (unit)0x41;
    CHECK(STRING(&damaged, 0, 0, text, 1000, &length) == LXN_ERR_DAMAGED && text[0] == 0);
    printf(failures ? "FAILED\n" : "OK\n");
    return failures ? 1 : 0;
}
