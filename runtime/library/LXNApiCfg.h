/*
 * The configuration of the runtime as a prebuilt library (liblexicorn_runtime.a). Every Lexicorn
 * build writes its own LXNApiCfg.h for the runtime compiled beside it; a library built once serves
 * the images of every build instead: it reads either table type and every encoding, searches at
 * every byte (an image merged at any alignment is found) and reads image files.
 */
#ifndef LXNAPICFG_H
#define LXNAPICFG_H

/* lxn_attach_embedded is an object of its own (lexicorn_embedded.c): a program that does not call
   it links without a Lexicorn.c. */
#define IS_LEXICORN_EMBEDDED 0
#include "Lexicorn.h"

#define LXNCFG_API_FOR_ROM 0
#define LXNCFG_SEARCH_STEP 1

#endif /* LXNAPICFG_H */
