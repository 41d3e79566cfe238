// Prints the serial ports of this machine as the hall program lists them:
// one line per port with its USB judgement, friendly name, description and
// location. An optional argument names another sysfs root.
#include "serial/scan_coms.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s [SYSFS-ROOT]\n", argv[0]);
        return 2;
    }
    TScanComs coms(argc == 2 ? argv[1] : "/sys");
    try {
        coms.Scan();
        const bool found = coms.Count() > 0;
        coms.Fill();
        if (!found) std::printf("# no ports found; the program offers the fallback list\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::printf("%-12s %-4s %-40s %-30s %s\n", "name", "usb", "friendly name", "description", "location");
    for (std::size_t i = 0; i < coms.Count(); ++i) {
        const TSerialPortInfo* port = coms.At(i);
        std::printf("%-12s %-4s %-40s %-30s %s\n", port->name.c_str(), port->isUsb ? "yes" : "no",
                    port->friendlyName.c_str(), port->description.c_str(), port->location.c_str());
    }
    return 0;
}
