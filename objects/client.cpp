#include "objects/client.h"

#include <chrono>
#include <ctime>
#include <random>

#include "componentclasses/encryption.h"
#include "objects/udp_broadcaster.h"
#include "platform/dispatcher.h"
#include "platform/tcp_client.h"
#include "platform/tick.h"

namespace {

constexpr std::uint32_t kRetryMs = 5000;
constexpr std::uint32_t kAfterReadErrorMs = 100;
constexpr std::uint32_t kIdleMs = 500;
constexpr const char* kUnknown = "UNKNOWN";

// A count of digits with an optional sign; false for anything else or overflow.
bool ParseCount(const std::string& text, long long& value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long long n = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || n > (1LL << 40))
            return false;
        n = n * 10 + (text[i] - '0');
    }
    value = negative ? -n : n;
    return true;
}

int PortNumber(const std::string& text)
{
    long long n = 0;
    return ParseCount(text, n) && n > 0 && n <= 65535 ? static_cast<int>(n) : 0;
}

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

std::string NewClientId()
{
    // Seeded with the time and the system's entropy, so two clients started in
    // the same second still differ.
    std::random_device entropy;
    std::minstd_rand random(static_cast<std::uint32_t>(std::time(nullptr)) ^ entropy());
    std::string id;
    for (int i = 0; i < 10; ++i) {
        switch (random() % 5) {
        case 0:
            id += static_cast<char>('0' + random() % 9);
            break;
        case 1:
        case 2:
            id += static_cast<char>('a' + random() % 26);
            break;
        default:
            id += static_cast<char>('A' + random() % 26);
            break;
        }
    }
    return id;
}

TAEOS_Client::TAEOS_Client(int port_, StatusCallback onStatus_, TAE_Callback onChange_,
                           void* onChangeData_, platform::MainThreadDispatcher* dispatcher_,
                           const std::string& logPath)
    : clientId(NewClientId()),
      port(port_),
      tcp(std::make_unique<platform::TcpClient>()),
      onStatus(std::move(onStatus_)),
      discovery(std::make_unique<TAEOS_UDPBroadcaster>(port_)),
      onChange(onChange_),
      onChangeData(onChangeData_),
      log(logPath, std::ios::out | std::ios::trunc | std::ios::binary),
      dispatcher(dispatcher_ ? *dispatcher_ : platform::MainDispatcher())
{
    Log("Opening ZUVA client log file!!");
}

TAEOS_Client::~TAEOS_Client()
{
    Terminate();
    discovery->Interrupt();
    tcp->Abort();
    {
        // Whoever is past the terminating check has queued by now.
        std::lock_guard lock(statusMutex);
    }
    dispatcher.Cancel(this);
    TerminateAndWait();
    dispatcher.Cancel(this);
    tcp->Close();
    if (ownsRoot)
        delete root;
    root = nullptr;
    Log("Closing ZUVA client log file!!");
}

void TAEOS_Client::AttachRoot(TAE_Root* tree)
{
    if (tree == root)
        return;
    if (ownsRoot)
        delete root;
    ownsRoot = false;
    root = tree;
}

void TAEOS_Client::SetServer(const std::string& text)
{
    std::lock_guard lock(configMutex);
    serverSpec = text;
}

void TAEOS_Client::Login(const std::string& user_, const std::string& password_, const std::string& afterLoginText_)
{
    {
        std::lock_guard lock(configMutex);
        user = user_;
        password = password_;
        afterLoginText = afterLoginText_;
    }
    active = true;
    if (!root) {
        root = new TAE_Root();
        ownsRoot = true;
    }
    if (onChange)
        root->AddHandler(onChange, onChangeData);
    Resume();
    if (tcp->IsConnected())
        tcp->Shutdown();  // the thread reconnects and logs in anew
}

void TAEOS_Client::Disconnect()
{
    active = false;
    if (tcp->IsConnected()) {
        SetStatus("405 DISCONNECTING (requested)");
        tcp->Shutdown();
    }
}

bool TAEOS_Client::IsConnected() const
{
    return tcp->IsConnected();
}

void TAEOS_Client::SendStatements(const std::string& text)
{
    if (!tcp->IsConnected())
        return;
    static const std::string terminator = ";\r\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(terminator, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            SendLine("320 OBJECTUPDATE " + text.substr(start, end - start));
        start = end + terminator.size();
    }
}

void TAEOS_Client::SendObject(TAE_Object* object)
{
    if (object && tcp->IsConnected())
        SendStatements(object->WriteStatements(true));
}

void TAEOS_Client::SendLine(const std::string& text)
{
    const std::string line = text + "\r\n";
    const std::string cipher = encryption::EncipherText(encryption::kCycles, line, encryption::BuiltInKey());
    if (!tcp->IsConnected())
        return;
    tcp->SetNoDelay(true);
    if (!tcp->WriteAll(cipher.data(), cipher.size()))
        return;  // WriteAll shut the connection down; the reading thread notices
    SetStatus(text);
    Log(">> " + line + " --> Encrypted: " + std::string(cipher.c_str()));
}

void TAEOS_Client::SetStatus(const std::string& text)
{
    std::unique_lock lock(statusMutex);
    if (text == lastStatus)
        return;
    lastStatus = text;
    if (Terminated() || !onStatus)
        return;
    auto report = [this, text] {
        if (modelLock) {
            std::lock_guard model(*modelLock);
            onStatus(text);
        } else {
            onStatus(text);
        }
    };
    if (dispatcher.IsMainThread()) {
        lock.unlock();
        report();
    } else if (threadId.load() == std::this_thread::get_id()) {
        auto ticket = dispatcher.Queue(report, this);
        lock.unlock();
        dispatcher.Wait(ticket);
    } else {
        dispatcher.Post(report, this);  // the sender may hold the event lock
    }
}

bool TAEOS_Client::HandOver(std::function<void()> task)
{
    if (dispatcher.IsMainThread()) {
        task();
        return true;
    }
    std::unique_lock lock(statusMutex);
    if (Terminated())
        return false;
    auto ticket = dispatcher.Queue(std::move(task), this);
    lock.unlock();
    return dispatcher.Wait(ticket);
}

void TAEOS_Client::ApplyStatements(const std::string& text)
{
    HandOver([this, &text] {
        if (!root)
            return;
        pendingText = text;
        if (modelLock) {
            std::lock_guard model(*modelLock);
            root->Apply(pendingText);
        } else {
            root->Apply(pendingText);
        }
        pendingText.clear();
    });
}

void TAEOS_Client::Log(const std::string& message)
{
    std::lock_guard lock(logMutex);
    if (!log)
        return;
    log << Timestamp() << " - " << message << '\n';
    log.flush();
}

bool TAEOS_Client::ReadBlock(const std::string& countText)
{
    long long count = 0;
    if (!ParseCount(countText, count) || count > static_cast<long long>(kMaxReceive))
        return false;  // where the block ends is unknown, so is the next line
    if (count <= 0)
        return true;
    std::string block;
    if (!tcp->ReadBytes(block, static_cast<std::size_t>(count)))
        return false;
    SetStatus("313 RECEIVED STREAM (" + countText + " bytes)");
    const platform::Tick start = platform::TickCount();
    SetStatus("314 PROCESSING STREAM (" + countText + " bytes)");
    ApplyStatements(block);
    const platform::Tick elapsed = platform::TickCount() - start;  // unsigned: wraps correctly
    SetStatus("315 PROCESSING DONE (" + std::to_string(elapsed) + "ms)");
    return true;
}

bool TAEOS_Client::HandleLine(const std::string& line)
{
    ParseLine(parser, line);
    Log("<< " + line);
    switch (parser.code) {
    case 161:
        SendLine("162 ID " + clientId);
        break;
    case 163: {
        std::string text;
        {
            std::lock_guard lock(configMutex);
            text = "164 LOGIN " + user + " " + password;
        }
        SendLine(text);
        break;
    }
    case 165: {
        std::string text;
        {
            std::lock_guard lock(configMutex);
            text = afterLoginText;
        }
        if (!text.empty()) {
            SetStatus(text);
            Log(">> " + text);
        }
        break;
    }
    case 311:
        return ReadBlock(GetArg(parser, 0));
    case 321:
        ApplyStatements(GetArg(parser, 0));
        break;
    case 390:
        SetStatus(line);
        Log("-- Error: unknown command");
        break;
    default:
        break;
    }
    return true;
}

void TAEOS_Client::Execute()
{
    threadId = std::this_thread::get_id();
    std::string host = kUnknown;
    std::string portText = kUnknown;
    std::string lastServerSpec = kUnknown;
    int tcpPort = 0;
    const auto currentSpec = [this] {
        std::lock_guard lock(configMutex);
        return serverSpec;
    };

    while (!Terminated()) {
        // Finding the server.
        while (active && !Terminated()
               && (host == kUnknown || portText == kUnknown || tcpPort != port || currentSpec() != lastServerSpec)) {
            SetStatus("700 LOST");
            discovery->serverSpec = lastServerSpec = currentSpec();
            discovery->port = port;
            const std::string reply = discovery->Discover();
            if (Terminated())
                break;
            ParseLine(parser, reply);
            if (parser.code == 701) {
                SetStatus(reply);
                tcp->Close();
                host = GetArg(parser, 0);
                portText = GetArg(parser, 1);
                tcpPort = PortNumber(portText);
            } else {
                SleepFor(kRetryMs);
            }
        }

        // Connecting.
        if (active && !Terminated() && (!tcp->IsConnected() || tcp->Host() != host)) {
            SetStatus("101 CONNECTING TO " + host + " " + portText);
            if (!tcp->Connect(host, tcpPort, kConnectTimeoutMs)) {
                host = kUnknown;
                SleepFor(kRetryMs);
            } else if (!active) {
                tcp->Close();  // Disconnect came while connecting
            }
        }

        // Reading.
        if (tcp->IsConnected() && !Terminated()) {
            std::string line;
            bool broken = !tcp->ReadLine(line, kMaxReceive);
            if (!broken && !line.empty()) {
                SetStatus(line);
                broken = !HandleLine(line);
            }
            if (broken && !Terminated()) {
                // After a requested Disconnect the 405 status already said it.
                if (active)
                    SetStatus("404 ERROR - DISCONNECTING");
                tcp->Close();
                SleepFor(kAfterReadErrorMs);
            }
        }

        if (!active)
            SleepFor(kIdleMs);
    }
}
