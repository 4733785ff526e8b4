#pragma once
// Desktop notifications through the freedesktop notification service on the session bus. A
// message is sent without waiting for an answer: with no bus or no service there is no
// notification, no error and no delay.

#include <QString>

// The desktop entry's name (without .desktop), the program's application id everywhere.
inline const char* const kDesktopFileName = "com.quillmark.KVC410";

// Sends "summary" with "body" under the program's name and icon; critical ones (the user must
// look at the pack) stay on screen until dismissed. Returns false when it was not even sent
// (no session bus could be reached).
bool SendDesktopNotification(const QString& summary, const QString& body, bool critical = false);

// The same from a worker thread: the caller never waits for the bus.
void NotifyInBackground(const QString& summary, const QString& body, bool critical);

// The session bus's address as the program finds it: DBUS_SESSION_BUS_ADDRESS, else the
// per-user bus at $XDG_RUNTIME_DIR/bus; empty when there is none (nothing is ever auto-launched).
QString SessionBusAddress();

// With no session bus to be found, tells every user of D-Bus in the program that there is none,
// so that none is started behind the user's back. Call before the application object exists.
void NeverLaunchASessionBus();
