// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas a graph draws on: the screen image, the clipboard picture or a
// printer page, behind the few pixel-exact operations the drawing uses.
#pragma once

#include "support/DSupport.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

class QPainter;

namespace duv {

// A drawing surface with the small state machine the graph draws with: a pen
// position, pen and brush, and top-left or baseline text alignment.
// Consecutive line segments of one pen are batched into a single polyline. On
// an unscaled image one-pixel solid lines are rasterised here, each segment
// painting its start pixel and not its end pixel; elsewhere (scaled screens,
// printers, dotted or wide pens) the toolkit strokes them.
class TGraphCanvas
{
public:
  // Text is drawn in the painter's font, in FontColor. Target is the image
  // the painter draws on, when there is one.
  TGraphCanvas(QPainter& Painter, TColor FontColor, int PenWidth = 1, QImage* Target = nullptr);
  ~TGraphCanvas();
  TGraphCanvas(const TGraphCanvas&) = delete;
  TGraphCanvas& operator=(const TGraphCanvas&) = delete;

  QPainter& Painter() { return FPainter; }
  QImage* Target() const { return FTarget; }

  TColor PenColor = clBlack;
  int PenWidth = 1;
  Qt::PenStyle PenStyle = Qt::SolidLine;
  TColor BrushColor = clWhite;
  bool BrushClear = false;
  bool BaselineAlign = false;
  TColor FontColor = clBlack;
  QPoint PenPos;

  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  // Outline in the pen and interior in the brush, covering X1..X2-1, Y1..Y2-1.
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  // Rectangles below are given as left, top, right, bottom, the right and
  // bottom edges exclusive.
  // One-pixel outline in Color.
  void FrameRect(int X1, int Y1, int X2, int Y2, TColor Color);
  void FillRect(int X1, int Y1, int X2, int Y2, TColor Color);
  void TextOut(int X, int Y, const QString& S);
  // S drawn at (X, Y), clipped to the rectangle.
  void TextRect(int X1, int Y1, int X2, int Y2, int X, int Y, const QString& S);
  // Text drawn one character at a time, everything after a caret raised by
  // half a line and the caret itself left out: "10^3" shows 10 with a raised 3.
  void TextOutSuperscript(int X, int Y, const QString& Text);
  int TextWidth(const QString& S) const;
  int TextHeight(const QString& S) const;
  // The height of a digit above the baseline.
  int DigitHeight() const;
  void SetClipRect(const QRect& R);
  void RemoveClip();
  // Draws everything batched so far.
  void Flush();

private:
  void MergeColumns();
  void DrawSegment(QPoint A, QPoint B, QRgb Color);

  QPainter& FPainter;
  QImage* FTarget;
  QVector<QPoint> FBatch;
  TColor FBatchColor = 0;
  int FBatchWidth = 0;
  Qt::PenStyle FBatchStyle = Qt::SolidLine;
  int FAscent;
  int FHeight;
  qreal FStrokeOffset = 0;
  bool FDirect = false; // lines written straight into FTarget's pixels
  int FScale = 1;       // FTarget's pixels to a pixel of the drawing
  // FTarget in the drawing's pixels.
  QRect TargetRect() const;
  QRect FClip;
};

} // namespace duv
