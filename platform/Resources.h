#pragma once
// The program's resources (bitmaps, icons, GIF pictures, the sound) live in the Qt resource file
// under their resource numbers: ":/bitmap/146", ":/gif/197", ":/wave/COOL".

#include <QImage>
#include <QString>
#include <QStringList>

QString ResourcePath(const char* type, int id);
// Resource names compare without regard to case; they are stored in capitals.
QString ResourcePath(const char* type, const QString& name);

// A built-in picture for a screen of this device pixel ratio: on a high-resolution screen the
// same art drawn at twice the size ("<resource>@2x", its device pixel ratio 2), else the picture
// itself. Null when neither exists.
QImage LoadArt(const QString& resource, qreal devicePixelRatio);
// The twice-size twin of a built-in resource, or empty when there is none (or the screen does
// not want one).
QString HighResolutionTwin(const QString& resource, qreal devicePixelRatio);

// Where the program's replaceable files (the end picture, the chime) are looked for: beside the
// program (the build folder), then the installed data folder <prefix>/share/kvc410 for a program
// in <prefix>/bin.
QStringList DataFolders(const QString& programFolder);
