#include "platform/PortSelection.h"

#include <sys/stat.h>

#include <cstdlib>

#include "hardware/SimulatedChargerBox.h"
#include "platform/PortDrivers.h"

namespace {

PortChoice Fail(std::string message) {
    PortChoice choice;
    choice.error = std::move(message);
    return choice;
}

PortChoice OpenPpdev(const std::string& device) {
    std::string why;
    auto driver = OpenPpdevPort(device, why);
    if (!driver) {
        return Fail("The parallel port " + device + " cannot be opened: " + why +
                    ".\n\nTo use it, add your user to the group lp (sudo adduser $USER lp), log "
                    "out and in again, and make sure no other program (a printer service) holds "
                    "the port. To try KVC410 without the charger, start it with KVC410_PORT=sim.");
    }
    return PortChoice{std::move(driver), {}};
}

PortChoice OpenSpec(const std::string& spec, const std::string& autoDevice) {
    if (spec.empty() || spec == "auto") {
        struct stat st {};
        if (stat(autoDevice.c_str(), &st) == 0) {
            return OpenPpdev(autoDevice);
        }
        return PortChoice{std::make_unique<SimulatedChargerBox>(), {}};
    }
    if (spec == "sim" || spec.rfind("sim:", 0) == 0) {
        SimOptions options;
        std::string error;
        if (spec.size() > 4 && !ParseSimOptions(spec.substr(4), options, error)) {
            return Fail("KVC410_PORT: " + error + ".");
        }
        return PortChoice{std::make_unique<SimulatedChargerBox>(options), {}};
    }
    if (spec.rfind("/dev/", 0) == 0) {
        return OpenPpdev(spec);
    }
    if (spec.rfind("io:", 0) == 0) {
        char* end = nullptr;
        unsigned long base = std::strtoul(spec.c_str() + 3, &end, 0);
        if (end == spec.c_str() + 3 || *end != '\0' || base == 0 || base > 0xFFFD) {
            return Fail("KVC410_PORT: \"" + spec + "\" is not a port address such as io:0x378.");
        }
        std::string why;
        auto driver = OpenDirectIoPort(static_cast<unsigned>(base), why);
        if (!driver) {
            return Fail("The port " + spec + " cannot be opened: " + why + ".");
        }
        return PortChoice{std::move(driver), {}};
    }
    return Fail("KVC410_PORT=\"" + spec +
                "\" is not understood. Use auto, sim, sim:key=value,..., /dev/parportN or "
                "io:0x378.");
}

}  // namespace

PortChoice OpenPortFromSpec(const char* spec, const char* tracePath,
                            const std::string& autoDevice) {
    PortChoice choice = OpenSpec(spec ? spec : "", autoDevice);
    if (choice.driver && tracePath != nullptr && *tracePath != '\0') {
        std::string why;
        auto traced = MakeTracingPortDriver(std::move(choice.driver), tracePath, why);
        if (!traced) {
            return Fail(std::string("KVC410_PORT_TRACE: the trace file ") + tracePath +
                        " cannot be opened: " + why + ".");
        }
        choice.driver = std::move(traced);
    }
    return choice;
}

PortChoice OpenPortFromEnvironment() {
    return OpenPortFromSpec(std::getenv("KVC410_PORT"), std::getenv("KVC410_PORT_TRACE"));
}
