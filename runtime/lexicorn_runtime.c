/* Lexicorn runtime: see Lexicorn.h. */

#include <string.h>

#include "LXNApiCfg.h"

/* The file-system code is compiled only where LXNApiCfg.h asks for it with LXNCFG_API_FOR_ROM 0: a
   bare-metal program then links nothing of the C library through the runtime. */
#if defined(LXNCFG_API_FOR_ROM) && LXNCFG_API_FOR_ROM == 0
#define LXN_FILE_SYSTEM 1
#include <stdio.h>
#else
#define LXN_FILE_SYSTEM 0
#endif

#if !defined(LXNCFG_SEARCH_STEP)
#define LXN_SEARCH_STEP 16u
#elif LXNCFG_SEARCH_STEP > 0
#define LXN_SEARCH_STEP ((size_t)LXNCFG_SEARCH_STEP)
#else
#define LXN_SEARCH_STEP 1u
#endif

/* lxn_attach refuses an image of another table type or encoding than LXNApiCfg.h configures, so
   the readers take the configured ones as known when they are compiled: code for the others is
   left out, which is what keeps the runtime small on a microcontroller. */
#ifdef LXNCFG_STRTABLE_TYPE
#define LXN_OFFSET_SIZE(image) (LXNCFG_STRTABLE_TYPE == LXN_STRTABLE_32 ? 4u : 2u)
#else
#define LXN_OFFSET_SIZE(image) ((image)->table_type == 1 ? 4u : 2u)
#endif
#ifdef LXNCFG_ENCODING_TYPE
#define LXN_UNIT_SIZE(image) (LXNCFG_ENCODING_TYPE == LXN_ENCODING_UNICODE ? 2u : 1u)
#else
#define LXN_UNIT_SIZE(image) ((image)->encoding == 1 ? 2u : 1u)
#endif

/*
 * The signature's bytes are kept inverted. Firmware that holds this runtime must not look as if it
 * held an image: if the signature stood in its constant data, a search would find the runtime, and
 * a merge would make its constants obsolete. In the order of a little-endian image; a big-endian
 * one holds each of the two words' bytes the other way round.
 */
static const unsigned char signature_inverted[8] = {0xB0, 0xCF, 0xD0, 0xEF, 0x7F, 0x80, 0x9F, 0xA0};

/* The header: eleven words, of which these are read by number. */
#define LXN_HEADER_WORDS 11u
#define LXN_HEADER_SIZE (4u * LXN_HEADER_WORDS)
#define LXN_WORD_UNIQUE_ID 2u
#define LXN_WORD_IMAGE_SIZE 3u
#define LXN_WORD_LANGUAGES 4u
#define LXN_WORD_STRINGS 5u
#define LXN_WORD_BYTE_ORDER 6u
#define LXN_WORD_ENCODING 7u
#define LXN_WORD_TABLE_TYPE 8u
#define LXN_WORD_OFFSET_TABLE 9u
#define LXN_WORD_STRING_DATA 10u
#define LXN_LANGUAGE_ENTRY_SIZE 8u

/* A number of `size` bytes (1, 2 or 4) in the image's byte order. */
static uint32_t read_number(const unsigned char* at, size_t size, int big_endian) {
    uint32_t value = 0;
    size_t i;
    for (i = 0; i < size; ++i) value = value << 8 | at[big_endian ? i : size - 1 - i];
    return value;
}

static uint32_t read_word(const unsigned char* at, int big_endian) { return read_number(at, 4u, big_endian); }

/* 1 little endian, 2 big endian, 0 no signature at `at` (which holds at least 8 bytes). */
static int signature_at(const unsigned char* at) {
    unsigned reversed, i;
    for (reversed = 0; reversed <= 3; reversed += 3) {
        for (i = 0; i < 8 && (at[i ^ reversed] ^ signature_inverted[i]) == 0xFF; ++i) continue;
        if (i == 8) return reversed ? 2 : 1;
    }
    return 0;
}

/* Sets *product to a * b and answers 1, or answers 0 when that does not fit in 32 bits. Shifts and
   adds: a microcontroller without a 64-bit multiply or a divide links no helper routine for it. */
static int multiply(uint32_t a, uint32_t b, uint32_t* product) {
    uint32_t sum = 0;
    for (; a != 0; a >>= 1) {
        if (a & 1) {
            if (b > 0xFFFFFFFFUL - sum) return 0;
            sum += b;
        }
        if (a > 1) {
            if (b > 0x7FFFFFFFUL) return 0;
            b <<= 1;
        }
    }
    *product = sum;
    return 1;
}

/* lxn_attach once its arguments are known to be there. `bytes` may be address 0: flash starts there on
   many microcontrollers, and a search from there (lxn_find) reads it as any other address. */
static lxn_result attach_at(lxn_image* image, const unsigned char* bytes, size_t size) {
    uint32_t header[LXN_HEADER_WORDS], room, languages_size, slots;
    unsigned word, offset_shift;
    int order;
    if (size < LXN_HEADER_SIZE) return size < 8 ? LXN_ERR_SIGNATURE : LXN_ERR_DAMAGED;
    order = signature_at(bytes);
    if (order == 0) return LXN_ERR_SIGNATURE;
    for (word = LXN_WORD_UNIQUE_ID; word < LXN_HEADER_WORDS; ++word)
        header[word] = read_word(bytes + 4 * word, order == 2);
    /* The language table, the offset table and the string data follow the header in this order,
       each as long as the counts make it, all inside the image. */
    if (header[LXN_WORD_IMAGE_SIZE] < LXN_HEADER_SIZE || header[LXN_WORD_IMAGE_SIZE] > size ||
        header[LXN_WORD_BYTE_ORDER] != (uint32_t)(order == 2) || header[LXN_WORD_ENCODING] > 2 ||
        header[LXN_WORD_TABLE_TYPE] > 1)
        return LXN_ERR_DAMAGED;
    room = header[LXN_WORD_IMAGE_SIZE] - LXN_HEADER_SIZE;
    offset_shift = header[LXN_WORD_TABLE_TYPE] == 1 ? 2 : 1;
    if (header[LXN_WORD_LANGUAGES] > room / LXN_LANGUAGE_ENTRY_SIZE) return LXN_ERR_DAMAGED;
    languages_size = header[LXN_WORD_LANGUAGES] * LXN_LANGUAGE_ENTRY_SIZE;
    if (!multiply(header[LXN_WORD_LANGUAGES], header[LXN_WORD_STRINGS], &slots) ||
        slots > (room - languages_size) >> offset_shift || header[LXN_WORD_OFFSET_TABLE] != languages_size ||
        header[LXN_WORD_STRING_DATA] != languages_size + (slots << offset_shift))
        return LXN_ERR_DAMAGED;
#ifdef LXNCFG_STRTABLE_TYPE
    if (header[LXN_WORD_TABLE_TYPE] != (uint32_t)LXNCFG_STRTABLE_TYPE) return LXN_ERR_CONFIG;
#endif
#ifdef LXNCFG_ENCODING_TYPE
    if ((header[LXN_WORD_ENCODING] == 1) != (LXNCFG_ENCODING_TYPE == LXN_ENCODING_UNICODE))
        return LXN_ERR_CONFIG;
#endif
    image->data = bytes;
    image->size = header[LXN_WORD_IMAGE_SIZE];
    image->unique_id = header[LXN_WORD_UNIQUE_ID];
    image->language_count = header[LXN_WORD_LANGUAGES];
    image->string_count = header[LXN_WORD_STRINGS];
    image->encoding = header[LXN_WORD_ENCODING];
    image->table_type = header[LXN_WORD_TABLE_TYPE];
    image->big_endian = order == 2;
    return LXN_OK;
}

lxn_result lxn_attach(lxn_image* image, const void* data, size_t size) {
    if (image == NULL || data == NULL) return LXN_ERR_ARGUMENT;
    return attach_at(image, (const unsigned char*)data, size);
}

lxn_result lxn_find(lxn_image* image, const void* start, size_t length) {
    /* start is where to search, not a buffer: a null start is address 0, where flash begins on many
       microcontrollers. Each place is made from its address, never by stepping a null pointer. */
    const uintptr_t address = (uintptr_t)start;
    size_t at;
    if (image == NULL) return LXN_ERR_ARGUMENT;
    /* attach_at reads nothing of fewer bytes than a signature takes. */
    for (at = 0; at < length; at += LXN_SEARCH_STEP)
        if (attach_at(image, (const unsigned char*)(address + at), length - at) == LXN_OK) return LXN_OK;
    return LXN_ERR_NOT_FOUND;
}

#if IS_LEXICORN_EMBEDDED
lxn_result lxn_attach_embedded(lxn_image* image) {
    /* The array's length is the image's own, which lxn_attach takes from the header once the
       signature is there. */
    return lxn_attach(image, embeddedLexicorn, (size_t)0xFFFFFFFFu);
}
#endif

#if LXN_FILE_SYSTEM
lxn_result lxn_load_file(lxn_image* image, const char* path, void* buffer, size_t capacity) {
    FILE* file;
    size_t got;
    int more;
    if (image == NULL || path == NULL || buffer == NULL) return LXN_ERR_ARGUMENT;
    file = fopen(path, "rb");
    if (file == NULL) return LXN_ERR_FILE;
    got = fread(buffer, 1, capacity, file);
    more = fgetc(file) != EOF;
    if (ferror(file)) {
        fclose(file);
        return LXN_ERR_FILE;
    }
    fclose(file);
    if (more) return LXN_ERR_BUFFER;
    return lxn_attach(image, buffer, got);
}
#endif

static const unsigned char* language_entry(const lxn_image* image, uint32_t language) {
    return image->data + LXN_HEADER_SIZE + (size_t)LXN_LANGUAGE_ENTRY_SIZE * language;
}

lxn_result lxn_language_code(const lxn_image* image, uint32_t language, char code[3]) {
    uint32_t packed;
    if (image == NULL || code == NULL) return LXN_ERR_ARGUMENT;
    if (language >= image->language_count) return LXN_ERR_RANGE;
    packed = read_word(language_entry(image, language), image->big_endian);
    code[0] = (char)(packed >> 8 & 0xFF);
    code[1] = (char)(packed & 0xFF);
    code[2] = '\0';
    return LXN_OK;
}

lxn_result lxn_find_language(const lxn_image* image, const char* code, uint32_t* language) {
    uint32_t i, wanted;
    if (image == NULL || code == NULL || language == NULL) return LXN_ERR_ARGUMENT;
    /* The code's second character is read only when it has a first: "" may be all there is. */
    wanted = (uint32_t)(unsigned char)code[0] << 8;
    if (wanted != 0) wanted |= (unsigned char)code[1];
    for (i = 0; i < image->language_count; ++i)
        if ((read_word(language_entry(image, i), image->big_endian) & 0xFFFFu) == wanted) {
            *language = i;
            return LXN_OK;
        }
    return LXN_ERR_NOT_FOUND;
}

/* The data offset of a language's name (id NULL) or of a string. lxn_attach has checked that the
   language table, the offset table and the string data follow the header in this order. */
static lxn_result text_offset(const lxn_image* image, uint32_t language, const uint32_t* id,
                              uint32_t* offset) {
    const unsigned char* at;
    size_t size = 4;
    if (image == NULL) return LXN_ERR_ARGUMENT;
    if (language >= image->language_count) return LXN_ERR_RANGE;
    at = language_entry(image, language) + 4;
    if (id != NULL) {
        if (*id >= image->string_count) return LXN_ERR_RANGE;
        size = LXN_OFFSET_SIZE(image);
        at = language_entry(image, image->language_count) +
             size * ((size_t)language * image->string_count + *id);
    }
    *offset = read_number(at, size, image->big_endian);
    return LXN_OK;
}

/* The text at a data offset in the image: where it starts and its length in units without the
   terminator, which must come before the image's end. Nothing past the image's end is read. */
static lxn_result locate_text(const lxn_image* image, uint32_t offset, const void** text, size_t* length) {
    const size_t unit = LXN_UNIT_SIZE(image);
    const size_t data_start =
        LXN_HEADER_SIZE + read_word(image->data + 4 * LXN_WORD_STRING_DATA, image->big_endian);
    size_t position, count = 0;
    if (offset >= image->size - data_start || (offset & (unit - 1)) != 0) return LXN_ERR_DAMAGED;
    for (position = data_start + offset; position + unit <= image->size; position += unit, ++count)
        if (read_number(image->data + position, unit, image->big_endian) == 0) {
            *text = image->data + data_start + offset;
            *length = count;
            return LXN_OK;
        }
    return LXN_ERR_DAMAGED;
}

static void store_unit(void* target, size_t unit_size, size_t at, uint32_t unit) {
    if (unit_size == 2)
        ((uint16_t*)target)[at] = (uint16_t)unit;
    else
        ((char*)target)[at] = (char)unit;
}

/* Copies a language's name (id NULL) or a string, never past the caller's capacity: a text that
   does not fit is cut to capacity - 1 units and terminated inside the buffer, and the length still
   says how long the whole text is. A damaged text leaves the buffer holding an empty one. */
static lxn_result copy_text(const lxn_image* image, uint32_t language, const uint32_t* id, void* target,
                            size_t unit_size, size_t capacity, size_t* length) {
    const void* text = NULL;
    size_t units = 0, kept, i;
    uint32_t offset = 0;
    lxn_result result = text_offset(image, language, id, &offset);
    if (result != LXN_OK) return result;
    if (target == NULL || capacity == 0) return LXN_ERR_ARGUMENT;
    if (unit_size != LXN_UNIT_SIZE(image)) return LXN_ERR_CONFIG;
    result = locate_text(image, offset, &text, &units);
    if (result != LXN_OK) {
        store_unit(target, unit_size, 0, 0);
        return result;
    }
    kept = units < capacity ? units : capacity - 1;
    if (unit_size == 1)
        memcpy(target, text, kept);
    else
        for (i = 0; i < kept; ++i)
            ((uint16_t*)target)[i] =
                (uint16_t)read_number((const unsigned char*)text + 2 * i, 2, image->big_endian);
    store_unit(target, unit_size, kept, 0);
    if (length != NULL) *length = units;
    return units < capacity ? LXN_OK : LXN_ERR_BUFFER;
}

lxn_result lxn_language_name(const lxn_image* image, uint32_t language, char* name, size_t capacity,
                             size_t* length) {
    return copy_text(image, language, NULL, name, 1, capacity, length);
}

lxn_result lxn_language_name16(const lxn_image* image, uint32_t language, uint16_t* name, size_t capacity,
                               size_t* length) {
    return copy_text(image, language, NULL, name, 2, capacity, length);
}

lxn_result lxn_get_string(const lxn_image* image, uint32_t language, uint32_t id, char* text, size_t capacity,
                          size_t* length) {
    return copy_text(image, language, &id, text, 1, capacity, length);
}

lxn_result lxn_get_string16(const lxn_image* image, uint32_t language, uint32_t id, uint16_t* text,
                            size_t capacity, size_t* length) {
    return copy_text(image, language, &id, text, 2, capacity, length);
}

lxn_result lxn_get_string_ref(const lxn_image* image, uint32_t language, uint32_t id, const void** text,
                              size_t* length) {
    size_t units;
    uint32_t offset = 0;
    lxn_result result = text == NULL ? LXN_ERR_ARGUMENT : text_offset(image, language, &id, &offset);
    return result != LXN_OK ? result : locate_text(image, offset, text, length != NULL ? length : &units);
}
