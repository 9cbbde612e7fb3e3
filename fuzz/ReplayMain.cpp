// Replays a fuzz target's seed corpus, then a fixed series of pseudo-random
// variations of it, through the target's entry function. Needs no libFuzzer, so
// the regular test run exercises every decoder with the normal compiler.
//   replay <corpus-dir> [variations]

#include "FuzzEntry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Input = std::vector<std::uint8_t>;

// xorshift64*: the same series on every run and machine.
struct Random {
    std::uint64_t state;
    std::uint64_t next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::size_t(next() % n); }
};

// Pieces that take a JSON, URL, XML or argument decoder down its rarer paths.
const char *const tokens[] = {
    "{",
    "}",
    "[",
    "]",
    ":",
    ",",
    "\"",
    "\\",
    "\\u0000",
    "\\ud800",
    "null",
    "true",
    "false",
    "-0",
    "1e308",
    "1e309",
    "-1",
    "4294967296",
    "18446744073709551616",
    "9007199254740993",
    "0.5",
    "\"value\"",
    "\"status\"",
    "\"success\"",
    "\"error\"",
    "\"type\"",
    "\"Transition\"",
    "\"modifications\"",
    "\"QueryUpdated\"",
    "\"queryId\"",
    "\"_id\"",
    "\"name\"",
    "\"keyCode\"",
    "\"modifierFlags\"",
    "%",
    "%zz",
    "%C3%A9",
    "%FF",
    "%00",
    "&",
    "=",
    "+",
    "\xc3",
    "\xff",
    "\xed\xa0\x80",
    "<",
    ">",
    "</",
    "/>",
    "<item>",
    "</item>",
    "<sparkle:version>",
    "<![CDATA[",
    "&amp;",
    "&#0;",
    "#",
    "?",
    "@",
    "state=",
    "vocarta://auth/google",
    "--",
};

Input mutate(const std::vector<Input> &seeds, Random &random)
{
    Input input = seeds.empty() ? Input() : seeds[random.below(seeds.size())];
    const std::size_t steps = 1 + random.below(6);
    for (std::size_t i = 0; i < steps; ++i) {
        switch (random.below(7)) {
        case 0: // flip a bit
            if (!input.empty())
                input[random.below(input.size())] ^= std::uint8_t(1u << random.below(8));
            break;
        case 1: // any byte
            if (!input.empty())
                input[random.below(input.size())] = std::uint8_t(random.next());
            break;
        case 2: { // insert a token
            const std::string token = tokens[random.below(std::size(tokens))];
            input.insert(input.begin() + std::ptrdiff_t(random.below(input.size() + 1)), token.begin(),
                         token.end());
            break;
        }
        case 3: { // cut a range
            if (input.empty())
                break;
            const std::size_t from = random.below(input.size());
            const std::size_t length = 1 + random.below(std::min<std::size_t>(16, input.size() - from));
            input.erase(input.begin() + std::ptrdiff_t(from), input.begin() + std::ptrdiff_t(from + length));
            break;
        }
        case 4: // truncate
            input.resize(random.below(input.size() + 1));
            break;
        case 5: { // splice in part of another seed
            if (seeds.empty())
                break;
            const Input &other = seeds[random.below(seeds.size())];
            const std::size_t from = random.below(other.size() + 1);
            const std::size_t length = random.below(other.size() - from + 1);
            input.insert(input.begin() + std::ptrdiff_t(random.below(input.size() + 1)),
                         other.begin() + std::ptrdiff_t(from), other.begin() + std::ptrdiff_t(from + length));
            break;
        }
        case 6: { // repeat a range (deep nesting, long texts)
            if (input.empty())
                break;
            const std::size_t from = random.below(input.size());
            const std::size_t length = 1 + random.below(std::min<std::size_t>(8, input.size() - from));
            const Input piece(input.begin() + std::ptrdiff_t(from),
                              input.begin() + std::ptrdiff_t(from + length));
            const std::size_t times = 1 + random.below(64);
            for (std::size_t t = 0; t < times; ++t)
                input.insert(input.begin() + std::ptrdiff_t(from), piece.begin(), piece.end());
            break;
        }
        }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus-dir> [variations]\n", argv[0]);
        return 2;
    }
    const long variations = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 5000;

    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Input> seeds;
    for (const auto &file : files) {
        std::ifstream stream(file, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "replay: no seeds in %s\n", argv[1]);
        return 2;
    }

    for (const Input &seed : seeds)
        fuzzOne(seed.data(), seed.size());
    Random random{0x9E3779B97F4A7C15ull};
    for (long i = 0; i < variations; ++i) {
        const Input input = mutate(seeds, random);
        fuzzOne(input.data(), input.size());
    }
    std::printf("replay: %zu seeds, %ld variations\n", seeds.size(), variations);
    return 0;
}
