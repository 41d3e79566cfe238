#pragma once
// Keeps the program connected to the tournament server: finds it, connects,
// answers identification and login, applies the server's statements to the
// tree on the main thread and sends the program's changes as enciphered lines.
//
// Threads: the main thread creates, logs in, disconnects and destroys; any
// thread may send; the client's own thread finds, connects and reads, and
// reaches the tree and the status callback only through the main-thread
// dispatcher, waiting for each hand-over. A status from another thread is
// posted without waiting, since that thread may hold the event lock.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "objects/protocol_parser.h"
#include "objects/tree.h"
#include "platform/thread.h"

namespace platform {
class MainThreadDispatcher;
class TcpClient;
}  // namespace platform
class TAEOS_UDPBroadcaster;

class TAEOS_Client : public platform::Thread {
public:
    using StatusCallback = std::function<void(const std::string&)>;

    static constexpr int kDefaultPort = 50000;
    // Longest server line and 311 block we take; beyond it the link is broken.
    static constexpr std::size_t kMaxReceive = 64u << 20;
    static constexpr int kConnectTimeoutMs = 5000;

    // Suspended until the first Login. onChange (may be null) is registered on the
    // tree at every login. The log goes to logPath, created anew.
    TAEOS_Client(int port, StatusCallback onStatus, TAE_Callback onChange = nullptr,
                 void* onChangeData = nullptr, platform::MainThreadDispatcher* dispatcher = nullptr,
                 const std::string& logPath = "zuva_client_log.txt");
    ~TAEOS_Client() override;

    // Main thread.
    void AttachRoot(TAE_Root* tree);
    void SetServer(const std::string& text);
    void Login(const std::string& user, const std::string& password, const std::string& afterLoginText);
    void Disconnect();
    // The main window takes the event lock around every hand-over it runs.
    void SetModelLock(std::recursive_mutex* lock) { modelLock = lock; }

    // Any thread.
    void SendStatements(const std::string& text);
    void SendObject(TAE_Object* object);
    bool IsConnected() const;

    // Client thread (and tests, fuzzers): reacts to one received line. False when
    // the stream can no longer be framed (a broken 311 count or block).
    bool HandleLine(const std::string& line);
    // The connection, for tools and tests that drive HandleLine themselves.
    platform::TcpClient& Connection() { return *tcp; }
    TAEOS_UDPBroadcaster& Discovery() { return *discovery; }

    const std::string clientId;
    // Set by the main window before every login; a change makes the thread look again.
    std::atomic<int> port;

protected:
    void Execute() override;

private:
    void SendLine(const std::string& text);
    void SetStatus(const std::string& text);
    void ApplyStatements(const std::string& text);
    // Runs the task on the main thread while this thread waits; false once terminating.
    bool HandOver(std::function<void()> task);
    void Log(const std::string& message);
    bool ReadBlock(const std::string& countText);

    bool ownsRoot = false;
    std::string serverSpec;  // configMutex
    std::unique_ptr<platform::TcpClient> tcp;
    TAEOS_Parser parser;      // client thread
    std::string pendingText;  // main thread, during a hand-over
    std::string lastStatus;   // statusMutex
    StatusCallback onStatus;
    std::unique_ptr<TAEOS_UDPBroadcaster> discovery;
    std::string user = "guest";       // configMutex
    std::string password = "p8#Wq";   // configMutex; Login replaces it
    std::string afterLoginText;       // configMutex
    std::atomic<bool> active{true};
    TAE_Root* root = nullptr;         // main thread
    TAE_Callback onChange;
    void* onChangeData;
    std::ofstream log;                // logMutex

    platform::MainThreadDispatcher& dispatcher;
    std::recursive_mutex* modelLock = nullptr;
    std::atomic<std::thread::id> threadId{};
    mutable std::mutex configMutex;
    std::mutex statusMutex;  // also orders the hand-overs
    std::mutex logMutex;
};

// Ten random digits "0".."8" and letters of either case.
std::string NewClientId();
