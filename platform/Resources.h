#pragma once
// The program's resources (bitmaps, icons, GIF pictures, the sound) live in the Qt resource file
// under their original numbers: ":/bitmap/146", ":/gif/197", ":/wave/COOL".

#include <QString>
#include <QStringList>

QString ResourcePath(const char* type, int id);
// Resource names compare without regard to case; they are stored in capitals.
QString ResourcePath(const char* type, const QString& name);

// Where the program's replaceable files (the end picture, the chime) are looked for: beside the
// program (the build folder), then the installed data folder <prefix>/share/kvc410 for a program
// in <prefix>/bin.
QStringList DataFolders(const QString& programFolder);
