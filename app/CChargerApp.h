#pragma once
// The application: one instance only, the port chosen and guarded, the profile opened, the main
// window run. When the window ends the program ends, with the charger off.

#include "session/GuardedPort.h"

class CChargerApp {
public:
    // Runs the program inside an existing QApplication; returns the exit status.
    int InitInstance();
};
