/*
 * Lexicorn runtime: reads Lexicorn string images on the target.
 *
 * Plain C99, no allocation, nothing of the C library but memcpy unless LXNApiCfg.h asks for the
 * file system (LXNCFG_API_FOR_ROM 0). Include "LXNApiCfg.h" (written by every Lexicorn build; it
 * includes this header) and compile lexicorn_runtime.c with it.
 *
 *   lxn_image image;
 *   char text[64];
 *   if (lxn_attach_embedded(&image) == LXN_OK &&
 *       lxn_get_string(&image, 0, OK_TEXT, text, sizeof text, NULL) == LXN_OK)
 *       puts(text);
 */
#ifndef LEXICORN_H
#define LEXICORN_H

#include <stddef.h>
#include <stdint.h>

/* Values of the configuration in LXNApiCfg.h. */
#define LXN_STRTABLE_16 0
#define LXN_STRTABLE_32 1
#define LXN_ENCODING_ANSI 0
#define LXN_ENCODING_UNICODE 1

/* Lexicorn.c holds the image as the array embeddedLexicorn when this is 1. */
#ifndef IS_LEXICORN_EMBEDDED
#define IS_LEXICORN_EMBEDDED 1
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum lxn_result {
    LXN_OK = 0,
    LXN_ERR_ARGUMENT,  /* a null pointer or a zero capacity where one is needed */
    LXN_ERR_SIGNATURE, /* no Lexicorn signature where an image should start */
    LXN_ERR_DAMAGED,   /* the image's sizes or offsets do not fit: nothing is read past its end */
    LXN_ERR_CONFIG,    /* the image's table type or encoding is not the one LXNApiCfg.h configures */
    LXN_ERR_NOT_FOUND, /* no image in the searched memory, no language with that code */
    LXN_ERR_RANGE,     /* a language index or string id beyond the image's counts */
    LXN_ERR_BUFFER,    /* the caller's buffer is too small: it holds capacity - 1 units, terminated */
    LXN_ERR_FILE       /* the image file cannot be read */
} lxn_result;

/* An image attached in memory. Fill it with one of the lxn_attach functions. */
typedef struct lxn_image {
    const unsigned char* data; /* the image's first byte */
    uint32_t size;             /* the image's length in bytes */
    uint32_t unique_id;        /* packed build time: see the string-id list's first line */
    uint32_t language_count;
    uint32_t string_count; /* strings per language: NUMBER_OF_STRINGS of StringList.h */
    uint32_t encoding;     /* 0 single byte, 1 UTF-16, 2 UTF-8 */
    uint32_t table_type;   /* 0 16-bit offsets, 1 32-bit offsets */
    int big_endian;
} lxn_image;

/* Attaches the image at data, which holds at most size bytes, after checking its header. */
lxn_result lxn_attach(lxn_image* image, const void* data, size_t size);

/* Looks for an image in [start, start + length) at every LXNCFG_SEARCH_STEP bytes from start and
   attaches the first one found. start is an address, not a buffer: NULL searches from address 0,
   where flash starts on many Cortex-M parts. */
lxn_result lxn_find(lxn_image* image, const void* start, size_t length);

#if IS_LEXICORN_EMBEDDED
/* The image that Lexicorn.c compiles in. */
extern unsigned char const embeddedLexicorn[];
/* Attaches embeddedLexicorn. */
lxn_result lxn_attach_embedded(lxn_image* image);
#endif

/* Reads an image file into buffer (capacity bytes) and attaches it. Compiled only where LXNApiCfg.h
   says LXNCFG_API_FOR_ROM 0 (the target has a file system). */
lxn_result lxn_load_file(lxn_image* image, const char* path, void* buffer, size_t capacity);

/* The two-character code of a language (code must hold 3 chars) and the index of a code. */
lxn_result lxn_language_code(const lxn_image* image, uint32_t language, char code[3]);
lxn_result lxn_find_language(const lxn_image* image, const char* code, uint32_t* language);

/* A language's name or a string, copied with its terminator: single-byte and UTF-8 images into
   char buffers, UTF-16 images into uint16_t buffers (in the target's byte order). length, when
   not null, receives the length in units without the terminator. Capacities count units. */
lxn_result lxn_language_name(const lxn_image* image, uint32_t language, char* name, size_t capacity,
                             size_t* length);
lxn_result lxn_language_name16(const lxn_image* image, uint32_t language, uint16_t* name, size_t capacity,
                               size_t* length);
lxn_result lxn_get_string(const lxn_image* image, uint32_t language, uint32_t id, char* text, size_t capacity,
                          size_t* length);
lxn_result lxn_get_string16(const lxn_image* image, uint32_t language, uint32_t id, uint16_t* text,
                            size_t capacity, size_t* length);

/* A string where the image holds it, nothing copied: for targets that print straight from flash.
   *text receives its first byte and length, when not null, its length in units (bytes, or 16-bit
   units in the image's byte order for UTF-16 images) without the terminator that follows it. */
lxn_result lxn_get_string_ref(const lxn_image* image, uint32_t language, uint32_t id, const void** text,
                              size_t* length);

#ifdef __cplusplus
}
#endif

#endif /* LEXICORN_H */
