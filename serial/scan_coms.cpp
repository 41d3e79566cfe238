#include "serial/scan_coms.h"

#include "platform/host_info.h"
#include "platform/serial_ports.h"

#include <stdexcept>
#include <utility>

TScanComs::TScanComs(std::string sysRoot) : sysRoot_(std::move(sysRoot)) {}

TSerialPortInfo* TScanComs::FindPort(std::string_view name) const {
    if (!platform::IsPortName(name)) return nullptr;
    for (const auto& port : ports_)
        if (platform::SamePortName(port->name, name)) return port.get();
    return nullptr;
}

TSerialPortInfo* TScanComs::AddPort(std::string_view name) {
    if (!platform::IsPortName(name)) return nullptr;
    if (TSerialPortInfo* existing = FindPort(name)) return existing;
    auto port = std::make_unique<TSerialPortInfo>();
    port->name.assign(name);
    ports_.push_back(std::move(port));
    return ports_.back().get();
}

void TScanComs::Scan() {
    for (auto& found : platform::ListSerialPorts(sysRoot_)) {
        TSerialPortInfo* port = AddPort(found.name);
        if (port == nullptr) continue;
        port->description = std::move(found.description);
        port->location = std::move(found.location);
        port->friendlyName = std::move(found.friendlyName);
        port->isUsb = found.isUsb ? 1 : 0;
    }
}

void TScanComs::Fill() {
    if (!ports_.empty()) return;
    if (!platform::OsVersion()) throw std::runtime_error("could not get OS version");
    Scan();
    if (!ports_.empty()) return;
    for (const auto& name : platform::FallbackPortNames()) AddPort(name);
}
