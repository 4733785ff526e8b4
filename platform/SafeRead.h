#pragma once
// Reading files that someone else may have put in the program's way (/run/lock and the log
// folder are writable by others, a profile can be edited by hand): never blocked in open() by a
// FIFO, never reading a device, never more than a bound.

#include <cstddef>
#include <string>

enum class SafeRead { Ok, Absent, NotRegular, TooLarge, Unreadable };

// Reads a regular file (through links) of at most maxBytes into data. On anything else, why
// says what is wrong in plain words ("it is not a regular file (a pipe, a device or a
// folder)").
SafeRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data,
                         std::string& why);

// Whether path is absent or a regular file (through links), without opening it.
bool IsRegularOrAbsent(const std::string& path, std::string& why);
