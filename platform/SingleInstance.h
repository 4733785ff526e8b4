#pragma once
// Only one KVC410 drives the charger at a time.

#include <QString>

// Takes the per-user instance lock for the life of the process. False when another instance
// holds it.
bool AcquireInstanceLock();
QString InstanceLockPath();
