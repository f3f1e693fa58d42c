// SPDX-License-Identifier: GPL-3.0-or-later
// The font the tests of designed pixel geometry run at: the desktop's sans
// serif at the largest size no bigger than the 8-point design font, so that
// fixed geometry is not scaled (DesignScale is 1).
#pragma once

#include "support/UiSupport.h"

#include <QApplication>
#include <QFont>

namespace duv::test {

inline QFont DesignFont()
{
  QFont f = QApplication::font();
  // Whole pixels in the text's own colour, so that pixel checks of small
  // text do not depend on how its edges are smoothed.
  f.setStyleStrategy(QFont::NoAntialias);
  for (double pt = 8.0; pt > 5.0; pt -= 0.25) {
    f.setPointSizeF(pt);
    if (DesignScale(f) == 1.0)
      break;
  }
  return f;
}

} // namespace duv::test
