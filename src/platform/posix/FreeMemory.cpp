#include "platform/posix/FreeMemory.h"

// Any C library header tells which C library this is.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreeMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
