#pragma once

#include <cstddef>
#include <cstdint>

// One input through a decoder. Each fuzz target defines it once; libFuzzer and
// the corpus replay test both call it. Bad input must fail the decoder's own
// clean way; anything else (a crash, a foreign exception, a broken invariant)
// aborts.
void fuzzOne(const std::uint8_t *data, std::size_t size);

// Aborts with a message when an invariant of a decoded value does not hold.
void fuzzCheck(bool condition, const char *what);
