// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the graph tests: the program's three graph configurations
// and small pixel helpers.
#pragma once

#include "graph/GraphLooks.h"
#include "graph/Graphbox.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <vector>

namespace duv::test {

// The oscilloscope graph of the main window, at its design size.
inline void SetupWindowLeftGraph(TGraphBox& g)
{
  g.resize(502, 104);
  SetupScopeGraph(g, "Left Channel");
}

// The spectrum graph of the main window, at its design size and with the
// window's font in bold (at the design metrics).
inline void SetupWindowSpectrumGraph(TGraphBox& g)
{
  g.resize(500, 187);
  QFont f = QApplication::font();
  f.setBold(true);
  g.setFont(f);
  duv::SetupSpectrumGraph(g);
}

// A borderless graph of the given size and type without demonstration data.
inline void SetupPlainGraph(TGraphBox& g, int width, int height, TGraphType type)
{
  g.resize(width, height);
  g.SetBevelOuter(bvNone);
  g.SetDefaultData(false);
  g.SetGraphType(type);
}

inline QImage Grab(QWidget& w)
{
  QImage img = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
  static int n = 0;
  if (qEnvironmentVariableIsSet("DUV_DUMP_DIR"))
    img.save(qEnvironmentVariable("DUV_DUMP_DIR") + QString("/grab%1.png").arg(n++));
  return img;
}

inline QRgb Rgb(TColor c)
{
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// Ink columns of a band of rows, grouped into clusters separated by gaps of
// at least MinGap blank columns: where the labels are. The outermost columns
// (the panel's frame) are left out.
struct Cluster
{
  int Left;
  int Right;
};
inline std::vector<Cluster> InkClusters(const QImage& img, int Top, int Bottom, QRgb Background,
                                        int MinGap = 6)
{
  std::vector<Cluster> out;
  int gap = MinGap;
  for (int x = 1; x < img.width() - 1; ++x) {
    bool ink = false;
    for (int y = Top; y < Bottom && !ink; ++y)
      ink = img.pixel(x, y) != Background;
    if (!ink) {
      ++gap;
      continue;
    }
    if (gap >= MinGap || out.empty())
      out.push_back({x, x});
    out.back().Right = x;
    gap = 0;
  }
  return out;
}

// Top ink row of a column range within a band, or -1.
inline int InkTop(const QImage& img, int Left, int Right, int Top, int Bottom, QRgb Background)
{
  for (int y = Top; y < Bottom; ++y)
    for (int x = Left; x <= Right; ++x)
      if (img.pixel(x, y) != Background)
        return y;
  return -1;
}

} // namespace duv::test
