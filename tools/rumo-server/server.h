#pragma once
// The reference tournament server: answers discovery, runs the handshake with
// every client, deciphers their lines and keeps its own copy of their tree.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "objects/tree.h"
#include "platform/udp_client.h"

namespace rumoserver {

class GameKeeper;
class ServerLog;

struct ServerOptions {
    int port = 50000;          // 0 picks a port free for both TCP and UDP
    std::string bindAddress;   // "" for every address
    std::string hostName;      // what 701 answers name; "" for this computer's name
    std::string treeOut;       // "" for none
    std::string sendFile;      // "" for none
};

// User and password a client must log in with.
inline constexpr const char* kLoginUser = "MERK";
inline constexpr const char* kLoginPassword = "wqrtpz2817hmx908576";

class TournamentServer {
public:
    TournamentServer(ServerOptions options, ServerLog& log, GameKeeper* games);
    ~TournamentServer();

    // Binds and starts the threads; false with a message on standard error.
    bool Start();
    void Stop();
    int Port() const { return port_; }

private:
    struct Session;

    void ServeDiscovery();
    void RefreshGames();
    void AcceptClients();
    void Serve(Session& session);
    bool HandleLine(Session& session, const std::string& line);
    void ApplyStatement(const std::string& statement);
    void SendGreeting(Session& session);
    void WriteTreeOut();
    bool OpenListener(int port);
    void ReapFinishedSessions();

    ServerOptions options_;
    ServerLog& log_;
    GameKeeper* games_;
    int port_ = 0;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    platform::UdpClient udp_;
    std::atomic<bool> stopping_{false};
    std::thread discoveryThread_;
    std::thread acceptThread_;
    std::thread refreshThread_;
    std::condition_variable stopRequested_;  // with treeMutex_

    std::mutex sessionsMutex_;
    std::list<std::unique_ptr<Session>> sessions_;

    std::mutex treeMutex_;  // the tree, the tree file and the games
    TAE_Root tree_;
};

}  // namespace rumoserver
