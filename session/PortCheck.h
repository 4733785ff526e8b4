#pragma once
// kvc410 --check-port: which port the program would drive and everything that stands in the
// way, each with its remedy. Opens and claims the port to find out, writes nothing to it, and
// starts no charge.

#include <string>

struct PortCheckPlaces {
    std::string autoDevice = "/dev/parport0";
    std::string devFolder = "/dev";
    std::string moduleFolder = "/sys/module";
    std::string parportInfo = "/proc/sys/dev/parport";
    std::string lockFolder;  // empty: KVC410_LOCK_DIR, else /run/lock
};

struct PortCheckResult {
    bool drivable = false;
    std::string report;  // for the terminal, one finding a paragraph
};

// setting: --port / --check-port's value, else KVC410_PORT; empty means auto.
PortCheckResult CheckPort(const std::string& setting, const PortCheckPlaces& places = {});
