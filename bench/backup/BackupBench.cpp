// Cancel latency of the copy engine: a job copies a large recording on a
// worker thread, the main thread asks it to stop at a moment that moves from
// try to try, and the time until the engine has returned (partial copy
// removed) is measured. Prints every try and the worst in milliseconds.
#include "core/BackupEngine.h"

#include <algorithm>
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
    for (int i = 0; i < tries; ++i) {
        BackupProgress progress;
        std::chrono::steady_clock::time_point returned;
        std::thread worker([&] {
            pmRunBackup(dest, {file}, BackupOptions(), progress);
            returned = std::chrono::steady_clock::now();
        });
        // Somewhere between 50 and 430 ms into the copy.
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 20 * i));
        const auto asked = std::chrono::steady_clock::now();
        progress.canceled.store(true);
        worker.join();
        const double ms = std::chrono::duration<double, std::milli>(returned - asked).count();
        worst = std::max(worst, ms);
        std::printf("try %2d: cancel after %4d ms, stopped in %.2f ms (%llu bytes copied)\n", i + 1, 50 + 20 * i,
                    std::max(ms, 0.0), static_cast<unsigned long long>(progress.bytesDone.load()));
    }
    std::printf("worst cancel latency: %.2f ms\n", worst);
    return 0;
}
