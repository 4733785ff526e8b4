#pragma once
// One charger, one program: a lock per port, whoever runs the program. The same box reached as
// /dev/parport0 and as io:0x378 is one port; two boxes on two ports are two. The simulated box is
// a port of its own in every process and needs no lock.

#include <string>

// The name the lock of the port this setting drives goes by ("io-888" for the port at 0x378,
// however it is reached; "dev-..." for a device whose address is unknown); empty for the
// simulated box. parportInfo is where the kernel lists the parallel ports' addresses.
std::string PortLockName(const char* setting, const std::string& autoDevice = "/dev/parport0",
                         const std::string& parportInfo = "/proc/sys/dev/parport");

enum class PortLock { Taken, InUse, Unavailable };

// Takes the port's lock in folder (KVC410_LOCK_DIR, else /run/lock) for the life of the
// process. Unavailable, with why, when no lock can be made there at all.
PortLock AcquirePortLock(const std::string& name, const std::string& folder, std::string& why);
std::string PortLockFolder();
