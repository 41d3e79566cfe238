#pragma once
// TScanComs: the computer's serial ports, listed once, with a judgement
// whether each sits on USB (a USB port usually carries one board on its own
// cable, any other port a serial bus).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TSerialPortInfo {
    std::string name;
    std::string friendlyName;
    std::string description;
    std::string location;
    // Filled by the window: the name, then " USB" for USB ports.
    std::string displayText;
    std::uint8_t isUsb = 0;
};

class TScanComs {
public:
    // sysRoot: where the kernel's device tree is mounted; tests pass a fixture.
    explicit TScanComs(std::string sysRoot = "/sys");

    // The entry for `name` (added when new), or nullptr for a name that
    // cannot name a port. Names compare without regard to case.
    TSerialPortInfo* AddPort(std::string_view name);
    TSerialPortInfo* FindPort(std::string_view name) const;
    // Adds the ports that the system lists, in its order.
    void Scan();
    // On first use: scan, and offer ttyS0 to ttyS7 when nothing was found.
    // Throws std::runtime_error("could not get OS version") when the system
    // version cannot be read. Does nothing while the list holds entries.
    void Fill();

    std::size_t Count() const { return ports_.size(); }
    TSerialPortInfo* At(std::size_t index) const {
        return index < ports_.size() ? ports_[index].get() : nullptr;
    }

private:
    std::string sysRoot_;
    // Entries keep their address: the window keeps pointers to them.
    std::vector<std::unique_ptr<TSerialPortInfo>> ports_;
};
