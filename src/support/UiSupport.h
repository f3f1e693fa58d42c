// Helpers for the widget layer: colour words to and from QColor.
#pragma once

#include "support/DSupport.h"

#include <QColor>

namespace duv {

inline QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
inline TColor FromQColor(const QColor& c) { return MakeColor(c.red(), c.green(), c.blue()); }

} // namespace duv
