#pragma once
// Why a file could not be written, in plain words, for the messages that say so.

#include <QString>

// "the folder ... is read-only.", "the disk is full." and the like; empty when none of the
// usual causes shows (the caller then says what the write itself reported).
QString WhyNotWritten(const QString& filePath);

// Writes data as the whole of path, through a temporary file renamed into place: never half a
// file under that name, also on a full disk (where a buffered write fails only when the buffer is
// written out, which the rename alone would not notice). False with the reason in plain words.
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString& why);

// The name a save dialog returned, with the extension of the kind chosen in it ("PNG picture
// (*.png)") where the user typed a name without one: "graph" saved as an SVG drawing is
// "graph.svg", not an SVG drawing named "graph" (or a PNG picture, which the name would make).
// A name with an extension is left as typed.
QString WithChosenExtension(const QString& path, const QString& chosenFilter);
// A name proposed for a file, with what no file name should hold (a slash, a colon, ...) as "-".
QString FileNameSafe(QString name);
