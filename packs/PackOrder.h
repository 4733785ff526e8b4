#pragma once
// The order of the pack list: alphabetical without regard to case; names equal but for case
// in byte order, so AA comes before aa.

#include <QString>

bool PackNameLess(const QString& a, const QString& b);
