#pragma once
// A TCP connection to a server. One thread connects and reads; any thread may
// write (whole writes never interleave) or shut the connection down, which makes
// a blocked connect, read or write return.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

namespace platform {

class TcpClient {
public:
    TcpClient();
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Connecting thread. Closes any earlier connection first. False when the host
    // cannot be resolved or reached within the time-out, or after Abort.
    bool Connect(const std::string& host, int port, int timeoutMs);
    bool IsConnected() const;
    const std::string& Host() const { return host_; }  // connecting thread
    int Port() const { return port_; }                  // connecting thread

    // Connecting thread. Reads up to LF, which is not kept, nor a CR before it.
    // False when the connection ends or fails, or the line grows beyond maxBytes.
    bool ReadLine(std::string& line, std::size_t maxBytes);
    // Connecting thread. Exactly n bytes; false when the connection ends first.
    bool ReadBytes(std::string& out, std::size_t n);

    // Any thread: writes all bytes as one unit; false (and the connection shut
    // down) on failure or when not connected.
    bool WriteAll(const void* data, std::size_t size);
    bool SetNoDelay(bool on);

    // Any thread: ends the connection; blocked calls return.
    void Shutdown();
    // Any thread, for good: blocked and later calls fail at once.
    void Abort();
    // Connecting thread: shuts down and releases the socket.
    void Close();

private:
    bool WaitReadable();
    bool FillBuffer();
    void CloseLocked();

    mutable std::mutex stateMutex_;  // fd_ and connected_ against Shutdown
    std::mutex writeMutex_;           // one writer at a time; held while the fd is swapped
    int fd_ = -1;
    bool connected_ = false;
    int wakeFd_ = -1;  // eventfd, readable once Abort was called
    std::atomic<bool> aborted_{false};
    std::string host_;
    int port_ = 0;
    std::string buffer_;      // bytes read but not yet returned
    std::size_t bufferPos_ = 0;
};

}  // namespace platform
