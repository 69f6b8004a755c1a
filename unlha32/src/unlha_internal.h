/*
 * unlha_internal.h - entry points of libunlha32 that are not exported.
 *
 * They read an archive held in memory instead of a file, for the fuzzing
 * harness (which compiles the library source into itself) and for tools
 * built the same way. The shared library hides them (-fvisibility=hidden).
 */
#ifndef UNLHA_INTERNAL_H
#define UNLHA_INTERNAL_H

#include "unlha32.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Like UnlhaOpenArchive, over `len` bytes at `data`. The bytes are not
 * copied: they must stay valid until the handle is closed. */
HARC unlha_open_memory(const void* data, size_t len);

/* Like UnlhaExtractMem, over `len` bytes at `data`, for the member named
 * `member` (exact name first, then the wildcard rules). */
int unlha_extract_memory(const void* data, size_t len, const char* member, unsigned char* buffer,
                         uint32_t size, time_t* time, uint16_t* attributes, uint32_t* written);

/* The wildcard test used by the find functions and the extraction. */
int unlha_match_name(const char* pattern, const char* name);

#ifdef __cplusplus
}
#endif

#endif /* UNLHA_INTERNAL_H */
