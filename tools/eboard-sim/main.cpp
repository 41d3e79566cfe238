// eboard-sim: e-boards on a pseudo-terminal, one on its own cable or many on a bus.
#include <csignal>
#include <cstdio>

#include "tools/eboard-sim/game_source.h"
#include "tools/eboard-sim/simulator.h"

namespace {

eboardsim::SimControls controls;

void OnStop(int) { controls.stop = 1; }
void OnPull(int) { controls.pull = 1; }
void OnPlugIn(int) { controls.plugIn = 1; }

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = eboardsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "eboard-sim: %s\n%s", error.c_str(), eboardsim::kUsage);
        return 2;
    }
    std::vector<eboardsim::SimGame> games;
    if (!options->pdn.empty()) {
        auto loaded = eboardsim::LoadGames(options->pdn, options->games, error);
        if (!loaded) {
            std::fprintf(stderr, "eboard-sim: %s\n", error.c_str());
            return 1;
        }
        games = std::move(*loaded);
    }
    eboardsim::Simulator simulator(*options, std::move(games));
    Handle(SIGINT, OnStop);
    Handle(SIGTERM, OnStop);
    Handle(SIGUSR1, OnPull);
    Handle(SIGUSR2, OnPlugIn);
    error = simulator.Start();
    if (!error.empty()) {
        std::fprintf(stderr, "eboard-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.Port().Path().c_str());
    std::fflush(stdout);
    simulator.Run(controls);
    return 0;
}
