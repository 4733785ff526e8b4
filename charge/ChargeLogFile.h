#pragma once
// Writing a finished charge's CSV log into the log folder, for the window and the terminal
// alike: never over another log, never half a log, and the log folder made the current one
// (where the window looks for the end picture first).

#include <QString>

struct ChargeSample;

// $HOME/KVC410 Output/
QString ChargeLogFolder();

// Writes the log of the samples for the pack. On failure, place is the file or folder at fault
// and why says what went wrong, in plain words.
bool WriteChargeLogFile(const ChargeSample* head, const QString& pack, QString& place,
                        QString& why);
