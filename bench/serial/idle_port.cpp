// Idle cost of an open port: one worker holds an open pseudo-terminal on
// which nothing arrives; prints the processor time the process used as a
// share of one core. Argument: seconds to measure (default 30).
#include "serial/serial_io.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [SECONDS]\n", argv[0]);
        return 2;
    }
    int master = -1;
    int slave = -1;
    char path[128] = {};
    if (openpty(&master, &slave, path, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const std::string name = std::string(path).substr(5);

    std::atomic<bool> open{false};
    TSerialIO worker([&](const TSerialReport& report) {
        if (report.kind == ioPortStatus && report.bytes == "OK") open = true;
        return 0;
    });
    worker.OpenPort(name, 9600);
    while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Let the cycle sleep settle at its idle value before measuring.
    std::this_thread::sleep_for(std::chrono::seconds(1));

    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();

    std::printf("idle open port %s: %.4f s processor time in %.1f s = %.3f%% of one core\n", name.c_str(), cpu,
                wall, 100.0 * cpu / wall);
    worker.Shutdown();
    close(master);
    close(slave);
    return 0;
}
