#pragma once
// The program's resources (bitmaps, icons, GIF pictures, the sound) live in the Qt resource file
// under their original numbers: ":/bitmap/146", ":/gif/197", ":/wave/COOL".

#include <QString>

QString ResourcePath(const char* type, int id);
// Resource names compare without regard to case; they are stored in capitals.
QString ResourcePath(const char* type, const QString& name);
