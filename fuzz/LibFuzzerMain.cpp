#include "FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzzOne(data, size);
    return 0;
}
