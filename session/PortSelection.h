#pragma once
// Which port the program drives, from KVC410_PORT:
//   unset or "auto"   /dev/parport0 when it exists, else the simulated charger box
//   "sim[:k=v,...]"   the simulated charger box with options
//   "/dev/parportN"   that port through ppdev
//   "io:0x378"        direct port I/O (root only)
// KVC410_PORT_TRACE=FILE appends every port access to FILE.

#include <memory>
#include <string>

#include "platform/PortDriver.h"

struct PortChoice {
    std::unique_ptr<PortDriver> driver;
    std::string error;  // set when no driver could be opened; says what to do
};

// Whether a port setting has one of the forms above (a device path of plain characters, a
// number for io:, options the simulated box knows), before anything is made from it: no lock
// file is named after a misspelt or hostile text.
bool IsPortSettingUnderstood(const std::string& setting);
// KVC410_PORT's value, "auto" when it is unset or empty: the port this program drives, by name.
std::string PortSettingInForce();
inline constexpr size_t kLongestPortSetting = 256;
// A setting as a message shows it: at most 60 characters, control characters as "?".
std::string ShownPortSetting(const std::string& setting);

PortChoice OpenPortFromSetting(const char* setting, const char* tracePath,
                               const std::string& autoDevice = "/dev/parport0");
PortChoice OpenPortFromEnvironment();
