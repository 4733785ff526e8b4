#pragma once
// The charger port taken the one way every front end takes it, so that the window and a terminal
// charge on one port refuse each other and leave the charger off on every way out.

#include <string>

// The port as every front end takes it: its lock, the port opened from KVC410_PORT and
// installed, the charger switched off, the exit handler, the signal guard and the guardian. error
// says what refused (portRefused: the port itself), empty when all is in place.
struct GuardedPort {
    std::string error;
    bool portRefused = false;
    bool simulated = false;
};
GuardedPort OpenGuardedPort();
