#include "tools/rumo-server/server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "componentclasses/encryption.h"
#include "objects/protocol_parser.h"
#include "tools/rumo-server/game_keeper.h"
#include "tools/rumo-server/server_log.h"

namespace rumoserver {

namespace {

// Longest line a client may write; beyond it the client is dropped.
constexpr std::size_t kMaxLine = 64u << 20;
constexpr const char* kObjectUpdate = "320 OBJECTUPDATE ";

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string ThisHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

bool ResolveIPv4(const std::string& host, in_addr& address)
{
    if (host.empty()) {
        address.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

bool SendAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

struct TournamentServer::Session {
    enum class Stage { Identify, Login, Ready };

    int fd = -1;
    std::string peer;
    Stage stage = Stage::Identify;
    std::thread thread;
    std::atomic<bool> finished{false};

    bool Send(const std::string& line) { return SendAll(fd, line + "\n"); }
};

TournamentServer::TournamentServer(ServerOptions options, ServerLog& log, GameKeeper* games)
    : options_(std::move(options)), log_(log), games_(games), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (options_.hostName.empty())
        options_.hostName = options_.bindAddress.empty() || options_.bindAddress == "0.0.0.0" ? ThisHostName()
                                                                                             : options_.bindAddress;
}

TournamentServer::~TournamentServer()
{
    Stop();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool TournamentServer::OpenListener(int port)
{
    in_addr address{};
    if (!ResolveIPv4(options_.bindAddress, address)) {
        std::cerr << "rumo-server: cannot resolve bind address " << options_.bindAddress << "\n";
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr = address;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    port_ = ntohs(addr.sin_port);
    return true;
}

bool TournamentServer::Start()
{
    // With port 0 the TCP port is picked first; its number must be free for UDP too.
    const int attempts = options_.port == 0 ? 50 : 1;
    for (int i = 0; i < attempts; ++i) {
        if (!OpenListener(options_.port)) {
            std::cerr << "rumo-server: cannot listen on TCP port " << options_.port << ": " << std::strerror(errno)
                      << "\n";
            return false;
        }
        if (udp_.Bind(options_.bindAddress, port_))
            break;
        ::close(listenFd_);
        listenFd_ = -1;
        if (i + 1 == attempts) {
            std::cerr << "rumo-server: cannot bind UDP port " << port_ << ": " << std::strerror(udp_.LastError())
                      << "\n";
            return false;
        }
    }
    log_.Write("Listening on port " + std::to_string(port_) + " as " + options_.hostName);
    discoveryThread_ = std::thread([this] { ServeDiscovery(); });
    acceptThread_ = std::thread([this] { AcceptClients(); });
    if (games_)
        refreshThread_ = std::thread([this] { RefreshGames(); });
    return true;
}

void TournamentServer::Stop()
{
    if (stopping_.exchange(true))
        return;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    udp_.Interrupt();
    {
        std::lock_guard lock(treeMutex_);  // the refresher checks stopping_ under it
    }
    stopRequested_.notify_all();
    if (refreshThread_.joinable())
        refreshThread_.join();
    if (discoveryThread_.joinable())
        discoveryThread_.join();
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::list<std::unique_ptr<Session>> sessions;
    {
        std::lock_guard lock(sessionsMutex_);
        sessions.swap(sessions_);
    }
    for (auto& session : sessions)
        ::shutdown(session->fd, SHUT_RDWR);
    for (auto& session : sessions) {
        if (session->thread.joinable())
            session->thread.join();
        ::close(session->fd);
    }
}

void TournamentServer::ServeDiscovery()
{
    const std::string answer = "701 HOST " + options_.hostName + " " + std::to_string(port_);
    std::string request;
    platform::UdpEndpoint from;
    while (!stopping_) {
        const auto received = udp_.Receive(request, -1, &from);
        if (received == platform::UdpClient::Received::Error)
            break;
        if (received != platform::UdpClient::Received::Datagram || request != "700 LOST")
            continue;
        if (!udp_.SendTo(from, answer))
            log_.Write("Discovery answer failed: " + std::string(std::strerror(udp_.LastError())));
    }
}

void TournamentServer::RefreshGames()
{
    std::unique_lock lock(treeMutex_);
    while (!stopping_) {
        stopRequested_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_.load(); });
        if (!stopping_)
            games_->Refresh();
    }
}

void TournamentServer::ReapFinishedSessions()
{
    std::list<std::unique_ptr<Session>> finished;
    {
        std::lock_guard lock(sessionsMutex_);
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            if ((*it)->finished) {
                finished.push_back(std::move(*it));
                it = sessions_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& session : finished) {
        session->thread.join();
        ::close(session->fd);
    }
}

void TournamentServer::AcceptClients()
{
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int n = ::poll(fds, 2, 1000);
        ReapFinishedSessions();
        if (n < 0 && errno != EINTR)
            break;
        if (n <= 0 || (fds[1].revents & POLLIN) || !(fds[0].revents & POLLIN))
            continue;
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
        auto session = std::make_unique<Session>();
        session->fd = fd;
        session->peer = std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
        Session& ref = *session;
        std::lock_guard lock(sessionsMutex_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        sessions_.push_back(std::move(session));
        ref.thread = std::thread([this, &ref] {
            Serve(ref);
            ref.finished = true;
        });
    }
}

void TournamentServer::Serve(Session& session)
{
    log_.Write("Client " + session.peer + " connected");
    session.Send("161 IDENTIFY");
    std::string cipher;  // received bytes not yet a whole block
    std::string plain;   // deciphered text not yet a whole line
    char chunk[64 * 1024];
    bool open = true;
    while (open && !stopping_) {
        const ssize_t n = ::recv(session.fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        cipher.append(chunk, static_cast<std::size_t>(n));
        const std::size_t whole = cipher.size() - cipher.size() % encryption::kBlockSize;
        plain += encryption::DecipherText(encryption::kCycles, std::string_view(cipher).substr(0, whole),
                                          encryption::BuiltInKey());
        cipher.erase(0, whole);
        std::size_t start = 0;
        for (std::size_t lf; open && (lf = plain.find('\n', start)) != std::string::npos; start = lf + 1) {
            std::string line = plain.substr(start, lf - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                open = HandleLine(session, line);
        }
        plain.erase(0, start);
        if (plain.size() > kMaxLine) {
            log_.Write("Client " + session.peer + " sent an overlong line; dropped");
            break;
        }
    }
    ::shutdown(session.fd, SHUT_RDWR);
    log_.Write("Client " + session.peer + " disconnected");
}

bool TournamentServer::HandleLine(Session& session, const std::string& line)
{
    log_.Write("<< " + session.peer + " " + line);
    switch (session.stage) {
    case Session::Stage::Identify:
        if (StartsWith(line, "162 ID ")) {
            session.stage = Session::Stage::Login;
            return session.Send("163 LOGIN");
        }
        break;
    case Session::Stage::Login:
        if (line == std::string("164 LOGIN ") + kLoginUser + " " + kLoginPassword) {
            session.stage = Session::Stage::Ready;
            log_.Write("Client " + session.peer + " logged in");
            if (!session.Send("165 WELCOME"))
                return false;
            SendGreeting(session);
            return true;
        }
        break;
    case Session::Stage::Ready:
        if (StartsWith(line, kObjectUpdate)) {
            ApplyStatement(line.substr(std::string_view(kObjectUpdate).size()));
            return true;
        }
        session.Send("390 UNKNOWN COMMAND");
        return true;
    }
    // A change that raced the handshake is refused but costs no connection.
    if (StartsWith(line, "320 "))
        return session.Send("390 NOT LOGGED IN");
    session.Send("390 LOGIN REFUSED");
    log_.Write("Client " + session.peer + " refused");
    return false;
}

void TournamentServer::SendGreeting(Session& session)
{
    if (options_.sendFile.empty())
        return;
    std::ifstream in(options_.sendFile, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        log_.Write("Cannot read " + options_.sendFile);
        return;
    }
    TAEOS_Parser parser;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t lf = content.find('\n', pos);
        if (lf == std::string::npos)
            lf = content.size();
        std::string line = content.substr(pos, lf - pos);
        pos = std::min(content.size(), lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (!session.Send(line))
            return;
        ParseLine(parser, line);
        if (parser.code == 311) {
            const long long count = std::atoll(GetArg(parser, 0).c_str());
            const std::size_t n = count > 0 ? std::min<std::size_t>(static_cast<std::size_t>(count), content.size() - pos) : 0;
            if (!SendAll(session.fd, content.substr(pos, n)))
                return;
            pos += n;
        }
    }
    log_.Write("Sent " + options_.sendFile + " to " + session.peer);
}

void TournamentServer::ApplyStatement(const std::string& statement)
{
    std::lock_guard lock(treeMutex_);
    tree_.Apply(statement);
    WriteTreeOut();
    if (games_)
        games_->OnStatement(tree_, statement);
}

void TournamentServer::WriteTreeOut()
{
    if (options_.treeOut.empty())
        return;
    const std::string temporary = options_.treeOut + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << tree_.WriteStatements(false);
        if (!out) {
            log_.Write("Cannot write " + temporary);
            return;
        }
    }
    if (std::rename(temporary.c_str(), options_.treeOut.c_str()) != 0)
        log_.Write("Cannot replace " + options_.treeOut);
}

}  // namespace rumoserver
