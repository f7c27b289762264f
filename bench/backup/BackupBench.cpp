// Cancel latency of the copy engine: a job copies a large recording on a
// worker thread, the main thread asks it to stop at a moment that moves from
// try to try, and two times are measured: until the last block was written
// (the copy stopped) and until the engine returned (the partial copy removed,
// which the file system takes its time for). Prints every try and the worst
// of each in milliseconds.
#include "core/BackupEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 5 || std::string(argv[1]) != "cancel") {
        std::fprintf(stderr, "usage: rovixbackupbench cancel FILE DEST TRIES\n");
        return 2;
    }
    const std::string file = argv[2];
    const std::string dest = argv[3];
    const int tries = std::atoi(argv[4]);
    double worst = 0;
    double worstStop = 0;
    for (int i = 0; i < tries; ++i) {
        BackupProgress progress;
        std::chrono::steady_clock::time_point returned;
        std::atomic<int64_t> lastBlock{0};
        BackupOptions options;
        options.onBlock = [&](uint64_t) {
            lastBlock.store(std::chrono::steady_clock::now().time_since_epoch().count());
        };
        std::thread worker([&] {
            pmRunBackup(dest, {file}, options, progress);
            returned = std::chrono::steady_clock::now();
        });
        // Somewhere between 50 and 430 ms into the copy.
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 20 * i));
        const auto asked = std::chrono::steady_clock::now();
        progress.canceled.store(true);
        worker.join();
        const double ms = std::chrono::duration<double, std::milli>(returned - asked).count();
        const auto last =
            std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastBlock.load()));
        const double stopMs = std::max(0.0, std::chrono::duration<double, std::milli>(last - asked).count());
        worst = std::max(worst, ms);
        worstStop = std::max(worstStop, stopMs);
        std::printf("try %2d: cancel after %4d ms: copy stopped in %.2f ms, engine returned (partial copy "
                    "removed) in %.2f ms, %llu bytes copied\n",
                    i + 1, 50 + 20 * i, stopMs, std::max(ms, 0.0),
                    static_cast<unsigned long long>(progress.bytesDone.load()));
    }
    std::printf("worst cancel latency: copy stopped %.2f ms, engine returned %.2f ms\n", worstStop, worst);
    return 0;
}
