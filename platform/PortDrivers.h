#pragma once
// The real-hardware drivers behind PortDriver.

#include <memory>
#include <string>

#include "platform/PortDriver.h"

// A parallel port through the kernel's ppdev interface, claimed exclusively for the lifetime of
// the driver. Addresses 888, 889 and 890 map to the data, status and control registers.
std::unique_ptr<PortDriver> OpenPpdevPort(const std::string& device, std::string& error);

// Direct I/O on the given base address (ioperm/outb/inb); needs root.
std::unique_ptr<PortDriver> OpenDirectIoPort(unsigned base, std::string& error);
