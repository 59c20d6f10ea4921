/* Lexicorn runtime: see Lexicorn.h. */

#include "LXNApiCfg.h"

#if !LXNCFG_API_FOR_ROM
#include <stdio.h>
#endif

#if !defined(LXNCFG_SEARCH_STEP)
#define LXN_SEARCH_STEP 16u
#elif LXNCFG_SEARCH_STEP > 0
#define LXN_SEARCH_STEP ((size_t)LXNCFG_SEARCH_STEP)
#else
#define LXN_SEARCH_STEP 1u
#endif

/*
 * The signature words are kept inverted. Firmware that holds this runtime must not look as if it
 * held an image: if the two words stood side by side in its constant data, a search would find
 * the runtime, and a merge would make its constants obsolete.
 */
#define LXN_SIGNATURE1_INVERTED 0xEFD0CFB0UL
#define LXN_SIGNATURE2_INVERTED 0xA09F807FUL

#define LXN_HEADER_SIZE 44u
#define LXN_LANGUAGE_ENTRY_SIZE 8u

static uint32_t read_word(const unsigned char* at, int big_endian) {
    if (big_endian)
        return (uint32_t)at[0] << 24 | (uint32_t)at[1] << 16 | (uint32_t)at[2] << 8 | (uint32_t)at[3];
    return (uint32_t)at[3] << 24 | (uint32_t)at[2] << 16 | (uint32_t)at[1] << 8 | (uint32_t)at[0];
}

static uint32_t read_half(const unsigned char* at, int big_endian) {
    return big_endian ? (uint32_t)at[0] << 8 | at[1] : (uint32_t)at[1] << 8 | at[0];
}

/* 1 little endian, 2 big endian, 0 no signature at `at` (which holds at least 8 bytes). */
static int signature_at(const unsigned char* at) {
    uint32_t first = read_word(at, 0), second = read_word(at + 4, 0);
    if ((~first & 0xFFFFFFFFUL) == LXN_SIGNATURE1_INVERTED &&
        (~second & 0xFFFFFFFFUL) == LXN_SIGNATURE2_INVERTED)
        return 1;
    first = read_word(at, 1);
    second = read_word(at + 4, 1);
    if ((~first & 0xFFFFFFFFUL) == LXN_SIGNATURE1_INVERTED &&
        (~second & 0xFFFFFFFFUL) == LXN_SIGNATURE2_INVERTED)
        return 2;
    return 0;
}

lxn_result lxn_attach(lxn_image* image, const void* data, size_t size) {
    const unsigned char* bytes = (const unsigned char*)data;
    int order;
    uint32_t image_size, offset_table, string_data;
    uint64_t slots, data_start;
    if (image == NULL || data == NULL) return LXN_ERR_ARGUMENT;
    if (size < LXN_HEADER_SIZE) return size < 8 ? LXN_ERR_SIGNATURE : LXN_ERR_DAMAGED;
    order = signature_at(bytes);
    if (order == 0) return LXN_ERR_SIGNATURE;
    image->big_endian = order == 2;
    image->data = bytes;
    image_size = read_word(bytes + 12, image->big_endian);
    image->unique_id = read_word(bytes + 8, image->big_endian);
    image->language_count = read_word(bytes + 16, image->big_endian);
    image->string_count = read_word(bytes + 20, image->big_endian);
    image->encoding = read_word(bytes + 28, image->big_endian);
    image->table_type = read_word(bytes + 32, image->big_endian);
    offset_table = read_word(bytes + 36, image->big_endian);
    string_data = read_word(bytes + 40, image->big_endian);
    if (image_size < LXN_HEADER_SIZE || image_size > size) return LXN_ERR_DAMAGED;
    if (read_word(bytes + 24, image->big_endian) != (uint32_t)image->big_endian) return LXN_ERR_DAMAGED;
    if (image->encoding > 2 || image->table_type > 1) return LXN_ERR_DAMAGED;
    slots = (uint64_t)image->language_count * image->string_count;
    data_start = (uint64_t)LXN_LANGUAGE_ENTRY_SIZE * image->language_count +
                 (image->table_type == 1 ? 4u : 2u) * slots;
    if ((uint64_t)offset_table != (uint64_t)LXN_LANGUAGE_ENTRY_SIZE * image->language_count ||
        (uint64_t)string_data != data_start || LXN_HEADER_SIZE + data_start > image_size)
        return LXN_ERR_DAMAGED;
#ifdef LXNCFG_STRTABLE_TYPE
    if (image->table_type != (uint32_t)LXNCFG_STRTABLE_TYPE) return LXN_ERR_CONFIG;
#endif
#ifdef LXNCFG_ENCODING_TYPE
    if ((image->encoding == 1) != (LXNCFG_ENCODING_TYPE == LXN_ENCODING_UNICODE)) return LXN_ERR_CONFIG;
#endif
    image->size = image_size;
    return LXN_OK;
}

lxn_result lxn_find(lxn_image* image, const void* start, size_t length) {
    const unsigned char* bytes = (const unsigned char*)start;
    size_t at;
    if (image == NULL || start == NULL) return LXN_ERR_ARGUMENT;
    for (at = 0; length >= 8 && at <= length - 8; at += LXN_SEARCH_STEP)
        if (signature_at(bytes + at) && lxn_attach(image, bytes + at, length - at) == LXN_OK) return LXN_OK;
    return LXN_ERR_NOT_FOUND;
}

#if IS_LEXICORN_EMBEDDED
lxn_result lxn_attach_embedded(lxn_image* image) {
    /* The array's length is the image's own: take it from the header once the signature is there. */
    int order = signature_at(embeddedLexicorn);
    if (order == 0) return LXN_ERR_SIGNATURE;
    return lxn_attach(image, embeddedLexicorn, read_word(embeddedLexicorn + 12, order == 2));
}
#endif

#if !LXNCFG_API_FOR_ROM
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
    uint32_t i;
    char candidate[3], first, second;
    if (image == NULL || code == NULL || language == NULL) return LXN_ERR_ARGUMENT;
    /* The code's second character is read only when it has a first: "" may be all there is. */
    first = code[0];
    second = first != '\0' ? code[1] : '\0';
    for (i = 0; i < image->language_count; ++i) {
        lxn_language_code(image, i, candidate);
        if (candidate[0] == first && candidate[1] == second) {
            *language = i;
            return LXN_OK;
        }
    }
    return LXN_ERR_NOT_FOUND;
}

static void store_unit(void* target, size_t unit_size, size_t at, uint32_t unit) {
    if (unit_size == 2)
        ((uint16_t*)target)[at] = (uint16_t)unit;
    else
        ((char*)target)[at] = (char)unit;
}

/* Copies the string at a data offset, unit by unit, never past the image's end nor past the
   caller's capacity: a string that does not fit is cut to capacity - 1 units and terminated inside
   the buffer, and the length still says how long the whole string is. */
static lxn_result copy_text(const lxn_image* image, uint32_t offset, void* target, size_t unit_size,
                            size_t capacity, size_t* length) {
    const uint32_t data_start = LXN_HEADER_SIZE + read_word(image->data + 40, image->big_endian);
    const size_t image_units = image->encoding == 1 ? 2u : 1u;
    size_t position, count = 0;
    if (target == NULL || capacity == 0) return LXN_ERR_ARGUMENT;
    if (image_units != unit_size) return LXN_ERR_CONFIG;
    if (offset >= image->size - data_start || offset % image_units != 0) return LXN_ERR_DAMAGED;
    for (position = (size_t)data_start + offset; position + image_units <= image->size;
         position += image_units) {
        const uint32_t unit =
            image_units == 2 ? read_half(image->data + position, image->big_endian) : image->data[position];
        if (unit == 0) {
            store_unit(target, unit_size, count < capacity ? count : capacity - 1, 0);
            if (length != NULL) *length = count;
            return count < capacity ? LXN_OK : LXN_ERR_BUFFER;
        }
        if (count + 1 < capacity) store_unit(target, unit_size, count, unit);
        ++count; /* counted on to the terminator: the length says what the whole string needs */
    }
    store_unit(target, unit_size, 0, 0);
    return LXN_ERR_DAMAGED; /* no terminator before the image's end */
}

static lxn_result name_offset(const lxn_image* image, uint32_t language, uint32_t* offset) {
    if (image == NULL) return LXN_ERR_ARGUMENT;
    if (language >= image->language_count) return LXN_ERR_RANGE;
    *offset = read_word(language_entry(image, language) + 4, image->big_endian);
    return LXN_OK;
}

static lxn_result string_offset(const lxn_image* image, uint32_t language, uint32_t id, uint32_t* offset) {
    const unsigned char* table;
    size_t slot;
    if (image == NULL) return LXN_ERR_ARGUMENT;
    if (language >= image->language_count || id >= image->string_count) return LXN_ERR_RANGE;
    table = image->data + LXN_HEADER_SIZE + read_word(image->data + 36, image->big_endian);
    slot = (size_t)language * image->string_count + id;
    *offset = image->table_type == 1 ? read_word(table + 4 * slot, image->big_endian)
                                     : read_half(table + 2 * slot, image->big_endian);
    return LXN_OK;
}

lxn_result lxn_language_name(const lxn_image* image, uint32_t language, char* name, size_t capacity,
                             size_t* length) {
    uint32_t offset = 0;
    lxn_result result = name_offset(image, language, &offset);
    return result != LXN_OK ? result : copy_text(image, offset, name, 1, capacity, length);
}

lxn_result lxn_language_name16(const lxn_image* image, uint32_t language, uint16_t* name, size_t capacity,
                               size_t* length) {
    uint32_t offset = 0;
    lxn_result result = name_offset(image, language, &offset);
    return result != LXN_OK ? result : copy_text(image, offset, name, 2, capacity, length);
}

lxn_result lxn_get_string(const lxn_image* image, uint32_t language, uint32_t id, char* text, size_t capacity,
                          size_t* length) {
    uint32_t offset = 0;
    lxn_result result = string_offset(image, language, id, &offset);
    return result != LXN_OK ? result : copy_text(image, offset, text, 1, capacity, length);
}

lxn_result lxn_get_string16(const lxn_image* image, uint32_t language, uint32_t id, uint16_t* text,
                            size_t capacity, size_t* length) {
    uint32_t offset = 0;
    lxn_result result = string_offset(image, language, id, &offset);
    return result != LXN_OK ? result : copy_text(image, offset, text, 2, capacity, length);
}
