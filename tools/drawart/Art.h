#pragma once
#include <QString>

bool DrawAll(const QString& res);
