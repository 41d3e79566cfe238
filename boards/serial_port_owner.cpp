#include "boards/serial_port_owner.h"

namespace QVRProjects {

std::string PortNameOf(std::string_view portText) {
    const size_t start = portText.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    const size_t end = portText.find_first_of(" \t", start);
    return std::string(portText.substr(start, end == std::string_view::npos ? end : end - start));
}

}  // namespace QVRProjects
