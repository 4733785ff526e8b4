#include "app/PortSelection.h"

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

PortChoice OpenSetting(const std::string& setting, const std::string& autoDevice) {
    if (setting.empty() || setting == "auto") {
        struct stat st {};
        if (stat(autoDevice.c_str(), &st) == 0) {
            return OpenPpdev(autoDevice);
        }
        return PortChoice{std::make_unique<SimulatedChargerBox>(), {}};
    }
    if (setting == "sim" || setting.rfind("sim:", 0) == 0) {
        SimOptions options;
        std::string error;
        if (setting.size() > 4 && !ParseSimOptions(setting.substr(4), options, error)) {
            return Fail("KVC410_PORT: " + error + ".");
        }
        return PortChoice{std::make_unique<SimulatedChargerBox>(options), {}};
    }
    if (setting.rfind("/dev/", 0) == 0) {
        return OpenPpdev(setting);
    }
    if (setting.rfind("io:", 0) == 0) {
        char* end = nullptr;
        unsigned long base = std::strtoul(setting.c_str() + 3, &end, 0);
        if (end == setting.c_str() + 3 || *end != '\0' || base == 0 || base > 0xFFFD) {
            return Fail("KVC410_PORT: \"" + setting + "\" is not a port address such as io:0x378.");
        }
        std::string why;
        auto driver = OpenDirectIoPort(static_cast<unsigned>(base), why);
        if (!driver) {
            return Fail("The port " + setting + " cannot be opened: " + why + ".");
        }
        return PortChoice{std::move(driver), {}};
    }
    return Fail("KVC410_PORT=\"" + setting +
                "\" is not understood. Use auto, sim, sim:key=value,..., /dev/parportN or "
                "io:0x378.");
}

}  // namespace

PortChoice OpenPortFromSetting(const char* setting, const char* tracePath,
                               const std::string& autoDevice) {
    PortChoice choice = OpenSetting(setting ? setting : "", autoDevice);
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
    return OpenPortFromSetting(std::getenv("KVC410_PORT"), std::getenv("KVC410_PORT_TRACE"));
}
