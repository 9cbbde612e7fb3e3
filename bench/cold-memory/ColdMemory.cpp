// What this machine charges a program for memory it has not touched for a
// while: it touches one byte of every cache line of a block, sleeps, and
// times (thread CPU time) the first pass over the block after waking and the
// pass right after it. An idle program pays the first-pass rate for every page
// a wake-up touches (a sync ping, the first shortcut after a quiet minute), so
// this is the floor under the idle-CPU and first-trigger figures.
//   bench_cold_memory [MB (8)] [seconds idle, comma-separated (1,5,15)] [rounds (3)]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Volatile, so the passes are not optimised away.
void touch(std::vector<unsigned char> &block)
{
    for (size_t i = 0; i < block.size(); i += 64) {
        volatile unsigned char &byte = block[i];
        byte = static_cast<unsigned char>(byte + 1);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
    const std::string pauses = argc > 2 ? argv[2] : "1,5,15";
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (megabytes == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_cold_memory [MB] [seconds,...] [rounds]\n");
        return 2;
    }
    std::vector<unsigned char> block(megabytes << 20);
    touch(block);
    const double pages = double(block.size() / 4096);
    std::printf("| %zu MB, thread CPU ms | first pass | per page, us | second pass |\n|---|---|---|---|\n",
                megabytes);
    size_t start = 0;
    while (start < pauses.size()) {
        const size_t comma = pauses.find(',', start);
        const int seconds = std::atoi(pauses.substr(start, comma - start).c_str());
        start = comma == std::string::npos ? pauses.size() : comma + 1;
        for (int round = 0; round < rounds; ++round) {
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const double a = threadCpuMs();
            touch(block);
            const double b = threadCpuMs();
            touch(block);
            const double c = threadCpuMs();
            std::printf("| after %d s idle | %.1f | %.1f | %.1f |\n", seconds, b - a, (b - a) * 1e3 / pages,
                        c - b);
            std::fflush(stdout);
        }
    }
    return 0;
}
