#include "session/PortSelection.h"

#include <sys/stat.h>

#include <cerrno>
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
    struct stat st {};
    if (!driver && stat(device.c_str(), &st) != 0 && errno == ENOENT) {
        return Fail("The parallel port " + device +
                    " does not exist. Load the driver of the parallel port on the main board: "
                    "sudo modprobe parport_pc ppdev (a port on a PCI or USB card needs that "
                    "card's own module); kvc410 --check-port says which ports there are. To try "
                    "KVC410 without the charger, start it with --port sim.");
    }
    if (!driver) {
        return Fail("The parallel port \"" + device + "\" cannot be opened: " + why +
                    ".\n\nTo use it, add your user to the group lp (sudo adduser $USER lp), log "
                    "out and in again, and make sure no other program (a printer service) holds "
                    "the port. To try KVC410 without the charger, start it with KVC410_PORT=sim.");
    }
    return PortChoice{std::move(driver), {}};
}

}  // namespace

std::string ShownPortSetting(const std::string& setting) {
    constexpr size_t kShown = 60;
    std::string shown = setting.substr(0, kShown);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return setting.size() > kShown ? shown + "..." : shown;
}

namespace {

bool IsPlainDevicePath(const std::string& path) {
    if (path.rfind("/dev/", 0) != 0 || path.size() == 5 || path.find("..") != std::string::npos) {
        return false;
    }
    for (char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '_' || c == '-' || c == '.' ||
                           c == '+';
        if (!plain) {
            return false;
        }
    }
    return true;
}

bool ParseIoBase(const std::string& setting, unsigned long& base) {
    char* end = nullptr;
    base = std::strtoul(setting.c_str() + 3, &end, 0);
    return end != setting.c_str() + 3 && *end == '\0' && base != 0 && base <= 0xFFFD;
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
    if (IsPlainDevicePath(setting) && setting.size() <= kLongestPortSetting) {
        return OpenPpdev(setting);
    }
    if (setting.rfind("io:", 0) == 0) {
        unsigned long base = 0;
        if (!ParseIoBase(setting, base)) {
            return Fail("KVC410_PORT: \"" + ShownPortSetting(setting) +
                        "\" is not a port address such as io:0x378.");
        }
        std::string why;
        auto driver = OpenDirectIoPort(static_cast<unsigned>(base), why);
        if (!driver) {
            return Fail("The port " + setting + " cannot be opened: " + why + ".");
        }
        return PortChoice{std::move(driver), {}};
    }
    return Fail("KVC410_PORT=\"" + ShownPortSetting(setting) +
                "\" is not understood. Use auto, sim, sim:key=value,..., /dev/parportN or "
                "io:0x378.");
}

}  // namespace

bool IsPortSettingUnderstood(const std::string& setting) {
    if (setting.size() > kLongestPortSetting) {
        return false;
    }
    if (setting.empty() || setting == "auto" || setting == "sim") {
        return true;
    }
    if (setting.rfind("sim:", 0) == 0) {
        SimOptions options;
        std::string error;
        return ParseSimOptions(setting.substr(4), options, error);
    }
    if (setting.rfind("io:", 0) == 0) {
        unsigned long base = 0;
        return ParseIoBase(setting, base);
    }
    return IsPlainDevicePath(setting);
}

PortChoice OpenPortFromSetting(const char* setting, const char* tracePath,
                               const std::string& autoDevice) {
    PortChoice choice = OpenSetting(setting ? setting : "", autoDevice);
    if (choice.driver && tracePath != nullptr && *tracePath != '\0') {
        std::string why;
        auto traced = MakeTracingPortDriver(std::move(choice.driver), tracePath, why);
        if (!traced) {
            return Fail(std::string("KVC410_PORT_TRACE: the trace file \"") + tracePath +
                        "\" cannot be opened: " + why + ".");
        }
        choice.driver = std::move(traced);
    }
    return choice;
}

PortChoice OpenPortFromEnvironment() {
    return OpenPortFromSetting(std::getenv("KVC410_PORT"), std::getenv("KVC410_PORT_TRACE"));
}

std::string PortSettingInForce() {
    const char* setting = std::getenv("KVC410_PORT");
    return setting != nullptr && *setting != '\0' ? setting : "auto";
}
