// rumo-server: a reference tournament server for tests and demos.

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>

#include "tools/rumo-server/game_keeper.h"
#include "tools/rumo-server/server.h"
#include "tools/rumo-server/server_log.h"

namespace {

constexpr const char* kUsage =
    "usage: rumo-server [--port P] [--bind ADDR] [--host-name NAME] [--library PATH] [--tree-out FILE]\n"
    "                   [--pdn-dir DIR] [--send FILE] [--log FILE]\n"
    "  --port P          UDP discovery and TCP port (default 50000; 0 picks a free one)\n"
    "  --bind ADDR       listen on this address only\n"
    "  --host-name NAME  host named in discovery answers (default: the bind address or this computer)\n"
    "  --library PATH    librumo to reconstruct the games of the boards (needs --pdn-dir)\n"
    "  --pdn-dir DIR     where the games go, one DIR/<board>.pdn per board\n"
    "  --tree-out FILE   the server's tree, rewritten after every change\n"
    "  --send FILE       lines (321, and 311 with their blocks) sent to every client after login\n"
    "  --log FILE        log of connections and lines\n";

bool ParsePort(const std::string& text, int& port)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    rumoserver::ServerOptions options;
    std::string libraryPath, pdnDir, logPath;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc) {
            std::cerr << "rumo-server: " << option << " needs a value\n" << kUsage;
            return 2;
        }
        const std::string value = argv[++i];
        if (option == "--port") {
            if (!ParsePort(value, options.port)) {
                std::cerr << "rumo-server: bad port " << value << "\n";
                return 2;
            }
        } else if (option == "--bind") {
            options.bindAddress = value;
        } else if (option == "--host-name") {
            options.hostName = value;
        } else if (option == "--library") {
            libraryPath = value;
        } else if (option == "--tree-out") {
            options.treeOut = value;
        } else if (option == "--pdn-dir") {
            pdnDir = value;
        } else if (option == "--send") {
            options.sendFile = value;
        } else if (option == "--log") {
            logPath = value;
        } else {
            std::cerr << "rumo-server: unknown option " << option << "\n" << kUsage;
            return 2;
        }
    }
    if (libraryPath.empty() != pdnDir.empty()) {
        std::cerr << "rumo-server: --library and --pdn-dir go together\n";
        return 2;
    }

    // A reader of our output that went away must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    // Signals are taken by sigwait below, not by whichever thread they hit.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    rumoserver::ServerLog log;
    if (!log.Open(logPath)) {
        std::cerr << "rumo-server: cannot open log " << logPath << "\n";
        return 1;
    }
    std::unique_ptr<rumoserver::GameKeeper> games;
    if (!libraryPath.empty()) {
        games = std::make_unique<rumoserver::GameKeeper>(log);
        std::string error;
        if (!games->Load(libraryPath, pdnDir, error)) {
            std::cerr << "rumo-server: " << error << "\n";
            return 1;
        }
    }
    rumoserver::TournamentServer server(options, log, games.get());
    if (!server.Start())
        return 1;
    std::cout << "rumo-server listening on port " << server.Port() << std::endl;

    int signal = 0;
    sigwait(&signals, &signal);
    log.Write("Stopping on signal " + std::to_string(signal));
    server.Stop();
    return 0;
}
