// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/GraphCanvas.h"
#include "GraphTestSupport.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

using namespace duv;
using namespace duv::test;

namespace {
// Reference rasteriser: every segment on its own, start pixel painted, end
// pixel not, the minor coordinate the exact line rounded half up.
void ReferenceSegment(QImage& img, QPoint a, QPoint b, QRgb color, const QRect& clip)
{
  const long long dx = b.x() - a.x();
  const long long dy = b.y() - a.y();
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const long long len = std::max(std::llabs(dx), std::llabs(dy));
  for (long long t = 0; t < len; ++t) {
    const long long major = xMajor ? dx : dy;
    const long long minor = xMajor ? dy : dx;
    const long long num = 2 * t * minor + len;
    const long long q = num >= 0 ? num / (2 * len) : -((-num + 2 * len - 1) / (2 * len));
    const long long pm = (xMajor ? a.x() : a.y()) + (major > 0 ? t : -t);
    const long long pn = (xMajor ? a.y() : a.x()) + q;
    const QPoint p(int(xMajor ? pm : pn), int(xMajor ? pn : pm));
    if (clip.contains(p))
      img.setPixel(p, color);
  }
}
} // namespace

// Guards the line rasteriser and the column merging of batched polylines: a
// dense, clipped trace must paint exactly the pixels of its segments drawn
// one by one.
TEST(GraphCanvas, BatchedLinesMatchSegments)
{
  std::srand(7);
  std::vector<QPoint> pts;
  int y = 50;
  for (int i = 0; i < 6000; ++i) {
    y = std::clamp(y + std::rand() % 41 - 20, -10, 110);
    pts.emplace_back(i / 40 + (i % 97 == 0 ? 3 : 0) + (i % 1001 == 0 ? 100000 : 0), y);
  }
  const auto colorOf = [](std::size_t i) { return (i / 500) % 2 ? clRed : clBlue; };
  for (const QRect clip : {QRect(0, 0, 200, 100), QRect(20, 10, 100, 60)}) {
    QImage drawn(200, 100, QImage::Format_RGB32);
    QImage expected(200, 100, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    expected.fill(Qt::white);
    {
      QPainter p(&drawn);
      TGraphCanvas c(p, clBlack, 1, &drawn);
      c.SetClipRect(clip);
      c.MoveTo(pts[0].x(), pts[0].y());
      for (std::size_t i = 1; i < pts.size(); ++i) {
        c.PenColor = colorOf(i);
        c.LineTo(pts[i].x(), pts[i].y());
      }
    }
    for (std::size_t i = 1; i < pts.size(); ++i)
      ReferenceSegment(expected, pts[i - 1], pts[i], Rgb(colorOf(i)), clip);
    EXPECT_TRUE(drawn == expected) << clip.width();
  }
}
