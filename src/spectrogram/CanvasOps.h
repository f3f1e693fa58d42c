// SPDX-License-Identifier: GPL-3.0-or-later
// Pixel-exact drawing in the desktop convention the spectrogram and the
// colour bar are laid out in: a rectangle (x1, y1, x2, y2) covers the pixels
// x1 .. x2 - 1 and y1 .. y2 - 1, and a line leaves out its end point.
#pragma once

#include <QColor>
#include <QPainter>
#include <algorithm>
#include <utility>

namespace duv {

// One-pixel outline in `pen`, inside filled with `brush` unless it is invalid
// (hollow). Reversed corners are put in order first.
inline void DrawRectangle(QPainter& p, int x1, int y1, int x2, int y2, const QColor& pen,
                          const QColor& brush = QColor())
{
  if (x1 > x2)
    std::swap(x1, x2);
  if (y1 > y2)
    std::swap(y1, y2);
  const int w = x2 - x1, h = y2 - y1;
  if (w <= 0 || h <= 0)
    return;
  if (brush.isValid() && w > 2 && h > 2)
    p.fillRect(x1 + 1, y1 + 1, w - 2, h - 2, brush);
  p.fillRect(x1, y1, w, 1, pen);
  p.fillRect(x1, y2 - 1, w, 1, pen);
  p.fillRect(x1, y1, 1, h, pen);
  p.fillRect(x2 - 1, y1, 1, h, pen);
}

// Horizontal or vertical line from (x1, y1) towards (x2, y2), end point left
// out, one pixel wide.
inline void DrawAxisLine(QPainter& p, int x1, int y1, int x2, int y2, const QColor& pen)
{
  if (y1 == y2) {
    if (x1 == x2)
      return;
    const int from = x1 < x2 ? x1 : x2 + 1;
    p.fillRect(from, y1, std::abs(x2 - x1), 1, pen);
  } else if (x1 == x2) {
    const int from = y1 < y2 ? y1 : y2 + 1;
    p.fillRect(x1, from, 1, std::abs(y2 - y1), pen);
  }
}

} // namespace duv
