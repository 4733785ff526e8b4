#pragma once
// The application: one instance only, the port chosen and guarded, the profile opened, the main
// window run. When the window ends the program ends, with the charger off.

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

class CChargerApp {
public:
    // Runs the program inside an existing QApplication; returns the exit status.
    int InitInstance();
};
