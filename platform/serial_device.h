#pragma once
// One serial port opened by its name under /dev ("ttyUSB0", "pts/7"):
// raw 8N1 at the asked baud rate, DTR and RTS off, exclusive, and reads that
// never block.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

class SerialDevice {
public:
    enum class OpenStatus {
        Opened,
        // The device could not be opened; nothing is held.
        NotOpened,
        // The device opened but refused the line settings; it was closed again.
        SettingsRefused,
    };
    struct OpenResult {
        OpenStatus status;
        // Why it failed, for the user; empty when opened.
        std::string reason;
    };

    SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;
    ~SerialDevice();

    OpenResult Open(std::string_view name, std::uint32_t baudRate);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Bytes read (> 0), 0 when nothing is waiting, -1 when the device failed
    // or has gone (a pulled adapter, a closed far end).
    ssize_t Read(void* buffer, std::size_t size);
    enum class WaitResult {
        Readable,
        // The wake descriptor was raised.
        Woken,
        TimedOut,
        // The device is not open, failed or has gone: nothing to wait on.
        Unavailable,
    };
    // Waits up to ms for bytes to read, ending early when wakeFd (if >= 0)
    // becomes readable.
    WaitResult WaitReadable(std::uint32_t ms, int wakeFd = -1) const;
    // Writes every byte, waiting a bounded time while the driver is full.
    // False on failure or when the bytes cannot leave within a few seconds.
    bool Write(const void* data, std::size_t size);

    // The /dev path of a port name, or "" for a name that cannot name a device.
    static std::string DevicePath(std::string_view name);

private:
    int fd_ = -1;
};

}  // namespace platform
