/*
 * The LXNApiCfg.h of the runtime builds that the fuzzers link. A Lexicorn build writes its
 * configuration into this header; each build of RuntimeBuild.c gives it on the compiler's command
 * line instead (RuntimeBuilds.cmake), so that one header serves every configuration.
 */
#ifndef LXNAPICFG_H
#define LXNAPICFG_H

/* The fuzzers feed images in memory: none is compiled in. */
#define IS_LEXICORN_EMBEDDED 0
#include "Lexicorn.h"

#endif /* LXNAPICFG_H */
