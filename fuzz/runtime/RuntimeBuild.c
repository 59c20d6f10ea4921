/*
 * The target runtime compiled once per configuration into one program: every public function gets
 * the prefix LXN_BUILD_PREFIX (e.g. lxn16a_attach for lxn_attach), so the builds link side by side
 * and RuntimeBuilds.h can hand them to the fuzzer together.
 */
#define LXN_JOIN2(prefix, name) prefix##_##name
#define LXN_JOIN(prefix, name) LXN_JOIN2(prefix, name)
#define LXN_RENAME(name) LXN_JOIN(LXN_BUILD_PREFIX, name)

#define lxn_attach LXN_RENAME(attach)
#define lxn_find LXN_RENAME(find)
#define lxn_load_file LXN_RENAME(load_file)
#define lxn_language_code LXN_RENAME(language_code)
#define lxn_find_language LXN_RENAME(find_language)
#define lxn_language_name LXN_RENAME(language_name)
#define lxn_language_name16 LXN_RENAME(language_name16)
#define lxn_get_string LXN_RENAME(get_string)
#define lxn_get_string16 LXN_RENAME(get_string16)
#define lxn_get_string_ref LXN_RENAME(get_string_ref)

#include "lexicorn_runtime.c"
