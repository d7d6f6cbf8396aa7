// string.h (ce): the memory routines COREDLL exports. The device build has
// no C library of its own; the compiler may also call these for copies and
// zero-fills it writes itself.
#ifndef CE_PLATFORM_CE_STRING_H
#define CE_PLATFORM_CE_STRING_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* memset(void* destination, int value, size_t bytes);
void* memcpy(void* destination, const void* source, size_t bytes);
void* memmove(void* destination, const void* source, size_t bytes);

#ifdef __cplusplus
}
#endif

#endif
