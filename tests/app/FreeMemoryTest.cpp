#include "platform/posix/FreeMemory.h"

#include <QtTest>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

// What the idle program gives back after a burst of work.
class FreeMemoryTest : public QObject {
    Q_OBJECT

    static long residentKb()
    {
        long pages = 0;
        long resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        return resident * (sysconf(_SC_PAGESIZE) / 1024);
    }

private Q_SLOTS:
    // Freed blocks below one still in use stay resident: the C library
    // trims only the heap's top by itself.
    void freedHeapBelowABlockInUseIsGivenBack()
    {
        constexpr std::size_t blockSize = 512;
        std::vector<void *> blocks(128 * 1024);
        for (void *&block : blocks) {
            block = std::malloc(blockSize);
            std::memset(block, 1, blockSize);
        }
        // The last one came from the heap's top.
        void *inUse = blocks.back();
        blocks.pop_back();
        for (void *block : blocks)
            std::free(block);
        const long before = residentKb();
        returnFreeMemory();
        const long after = residentKb();
        std::free(inUse);
        QVERIFY2(before - after > 32 * 1024,
                 qPrintable(QStringLiteral("resident %1 kB before, %2 kB after").arg(before).arg(after)));
    }
};

QTEST_GUILESS_MAIN(FreeMemoryTest)
#include "FreeMemoryTest.moc"
