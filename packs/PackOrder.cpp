#include "packs/PackOrder.h"

bool PackNameLess(const QString& a, const QString& b) {
    int folded = QString::compare(a.toCaseFolded(), b.toCaseFolded(), Qt::CaseSensitive);
    if (folded != 0) {
        return folded < 0;
    }
    return a.toUtf8() < b.toUtf8();
}
