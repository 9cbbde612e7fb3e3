#include "platform/posix/FreeMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreeMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
