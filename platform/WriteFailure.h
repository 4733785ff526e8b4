#pragma once
// Why a file could not be written, in plain words, for the messages that say so.

#include <QString>

// "the folder ... is read-only.", "the disk is full." and the like; empty when none of the
// usual causes shows (the caller then says what the write itself reported).
QString WhyNotWritten(const QString& filePath);
