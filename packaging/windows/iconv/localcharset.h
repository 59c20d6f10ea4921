/* FreeXL includes this header on Windows but calls nothing from it. */
#ifndef LEXICORN_LOCALCHARSET_H
#define LEXICORN_LOCALCHARSET_H
#endif
