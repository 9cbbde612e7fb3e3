#include "FuzzEntry.h"

#include <cstdio>
#include <cstdlib>

void fuzzCheck(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz: invariant broken: %s\n", what);
    std::abort();
}
