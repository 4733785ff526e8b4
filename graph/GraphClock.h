#pragma once
// Times on the Charge Graph's axis, readouts and figures: "1:05:30", or "1:05" without seconds.

#include <QString>

#include "curves/GraphScale.h"

inline QString Clock(double seconds, bool withSeconds = true) {
    return QString::fromStdString(ClockText(seconds, withSeconds));
}
