// Measures, over the real serial workers and eboard-sim on a pseudo-terminal:
// - the poll rate of each protocol in steady state beside the rate that its
//   pauses allow (one request per pre-wait; the replies come at once here);
// - the time from the last byte of a board message on the line to the board
//   event it causes ("packet received"), from the simulator's trace.
// Usage: bench_protocol_timing [seconds per run, default 20]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "boards/board_interface.h"
#include "boards/serial_port_owner.h"
#include "tests/system/sim_runner.h"

namespace {

using namespace QVRProjects;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Run {
    const char* name;
    std::vector<std::string> arguments;
    const char* cabling;
    int32_t boards;
    double allowedPerSecond;  // one request per pre-wait
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[index];
}

void Measure(const Run& run, double seconds) {
    const std::string trace = "/tmp/bench-protocol-trace-" + std::to_string(getpid());
    auto arguments = run.arguments;
    arguments.insert(arguments.end(), {"--trace", trace});
    std::vector<int64_t> written;   // times of requests written
    std::vector<int64_t> accepted;  // times of "packet received"
    int64_t windowStart = 0, windowEnd = 0;
    {
        systemtest::SimProcess sim(arguments);
        if (!sim.Ready()) {
            std::printf("%s: simulator did not start\n", run.name);
            return;
        }
        CQVRBoardInterface interface;
        CQVRBoardProtocol* protocol = interface.Create(run.cabling, [&](CQVR_Event_Data* e) {
            if (e->code == EventCode::RawWritten) written.push_back(NowNs());
            if (e->code == EventCode::PacketReceived) accepted.push_back(NowNs());
        });
        protocol->SetExpectedBoards(run.boards);
        protocol->Open(sim.Port());
        auto polling = [&] {
            if (auto* bus = dynamic_cast<CQVRSerialBus*>(protocol)) return bus->pollState >= 300;
            auto* cable = static_cast<CQVRSerialCable*>(protocol);
            return cable->pollState >= 200 && cable->Count() == 1 && cable->First()->busAddress != 0;
        };
        if (!systemtest::WaitFor(polling, 60)) {
            std::printf("%s: no polling\n", run.name);
            return;
        }
        // Let the first pass settle, then count.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        windowStart = NowNs();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        windowEnd = NowNs();
    }
    std::vector<int64_t> lastBytes;
    std::ifstream traceFile(trace);
    for (long long t = 0; traceFile >> t;) lastBytes.push_back(t);
    std::remove(trace.c_str());

    const auto requests = std::count_if(written.begin(), written.end(),
                                        [&](int64_t t) { return t >= windowStart && t < windowEnd; });
    const double rate = static_cast<double>(requests) / ((windowEnd - windowStart) / 1e9);
    // Each accepted message belongs to the last message written before it (a
    // message that shares a delivery with an earlier one is dropped by the
    // framing, so counts alone cannot pair them).
    std::vector<double> latencyMs;
    std::sort(lastBytes.begin(), lastBytes.end());
    for (const int64_t event : accepted) {
        if (event < windowStart || event >= windowEnd) continue;
        const auto after = std::upper_bound(lastBytes.begin(), lastBytes.end(), event);
        if (after == lastBytes.begin()) continue;
        latencyMs.push_back((event - *(after - 1)) / 1e6);
    }
    std::printf("%-16s poll %6.2f/s  allowed %6.2f/s  (%+5.1f%%)   latency ms p50 %.3f p99 %.3f max %.3f (%zu msgs)\n",
                run.name, rate, run.allowedPerSecond, 100.0 * (rate - run.allowedPerSecond) / run.allowedPerSecond,
                Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.99), Percentile(latencyMs, 1.0),
                latencyMs.size());
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    const std::vector<Run> runs{
        {"cable", {"--single"}, "usb", 1, 1000.0 / CQVRSingleBoardProtocol::kPollPreWait},
        {"bus, 1 board", {"--bus", "1"}, "serialbus", 1, 1000.0 / CQVRMultiBoardProtocol::PreWaitFor(1)},
        {"bus, 2 boards", {"--bus", "2"}, "serialbus", 2, 1000.0 / CQVRMultiBoardProtocol::PreWaitFor(2)},
        {"bus, 4 boards", {"--bus", "4"}, "serialbus", 4, 1000.0 / CQVRMultiBoardProtocol::PreWaitFor(4)},
    };
    for (const Run& run : runs) Measure(run, seconds);
    return 0;
}
