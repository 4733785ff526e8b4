#pragma once
// The program's resources (bitmaps, icons, GIF pictures, the sound) live in the Qt resource file
// under their original numbers: ":/bitmap/146", ":/gif/197", ":/wave/COOL".

#include <QString>

inline QString ResourcePath(const char* type, int id) {
    return QString(":/%1/%2").arg(type).arg(id);
}
inline QString ResourcePath(const char* type, const QString& name) {
    return QString(":/%1/%2").arg(type, name.toUpper());
}
