// SPDX-License-Identifier: GPL-3.0-or-later
// A vertical stack of coloured bands bounded by draggable edges, mapping a
// value (a level in dB in the spectrogram) to the colour of its band. The
// band arithmetic lives in TColorBands; this widget paints it and lets the
// user select bands and drag edges.
#pragma once

#include "spectrogram/ColorBands.h"

#include <QWidget>
#include <functional>

class QPainter;

namespace duv {


class TColorBar : public QWidget
{
  Q_OBJECT
public:
  explicit TColorBar(QWidget* parent = nullptr);

  const TColorBands& Bands() const { return FBands; }
  int EdgeCount() const { return FBands.EdgeCount(); }
  const TBandEdge& Edge(int k) const { return FBands.Edge(k); }
  // Recolours one band; ignored for an index outside the table.
  void SetEdgeColor(int k, TColor color);

  // Edge values for a new range; repaints when the range changed.
  void SetRange(double top, double bottom);
  double ValueAtPosition(int position) const { return FBands.ValueAtPosition(position); }
  void ResetSpacing();
  void SpreadEdges(int first, int last);
  void LoadColorTable();
  int BandOf(double v) const { return FBands.BandOf(v); }
  TColor ColorOf(double v) const { return FBands.ColorOf(v); }
  int BandAt(int y) const { return FBands.BandAt(y, height()); }
  int EdgeAt(int y) const { return FBands.EdgeAt(y, height(), FAdjustable, FAdjustEnds); }
  int EdgeY(int k) const { return FBands.EdgeY(k, height()); }
  void SetEdgePosition(int k, int position);
  void SetEdgeValue(int k, double value);
  void ColorGradient(int first, int last);
  void HueGradient(int first, int last);

  // All bands, labels and the selection marker, on any painter, at the bar's
  // own size.
  void PaintTo(QPainter& painter) const;

  int Selected() const { return FSelected; }
  void SetSelected(int k);
  bool AdjustEnds() const { return FAdjustEnds; }
  void SetAdjustEnds(bool v) { FAdjustEnds = v; }
  bool Adjustable() const { return FAdjustable; }
  void SetAdjustable(bool v) { FAdjustable = v; }
  bool LabelBars() const { return FLabelBars; }
  void SetLabelBars(bool v);
  double ScaleFactor() const { return FScaleFactor; }
  void SetScaleFactor(double v);
  int Decimals() const { return FDecimals; }
  void SetDecimals(int v);
  TColorCount ColorCount() const { return FColorCount; }
  void SetColorCount(TColorCount v);

  bool EdgeDragging() const { return FDragging; }
  int DragEdge() const { return FDragEdge; }

Q_SIGNALS:
  void OnChangeSelect(QObject* Sender);
  void OnChangeSpread(QObject* Sender);
  // An edge being dragged: its index, the drag line's position and its value.
  void OnChangingBar(QObject* Sender, int Index, int Bottom, double Depth);
  // For the owner's own mouse handling, sent where the bar hands the event on.
  void OnMouseDown(QObject* Sender, QMouseEvent* Event);
  void OnMouseMove(QObject* Sender, QMouseEvent* Event);
  void OnMouseUp(QObject* Sender, QMouseEvent* Event);

public:

protected:
  virtual void DoChangeSelect();
  virtual void DoChangeSpread();
  virtual void DoChangingBar();

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void DrawSelection(QPainter& painter) const;
  int PositionOfY(int y) const;

  TColorBands FBands;
  int FSelected = 1;
  bool FAdjustEnds = true;
  bool FAdjustable = true;
  bool FLabelBars = false;
  double FScaleFactor = 1.0;
  int FDecimals = 0;
  TColorCount FColorCount = TColorCount::dc12;

  bool FDragging = false;
  int FDragEdge = -1;
  int FDownY = 0;
  int FUpY = 0;
  int FDragLineY = 0;
};

} // namespace duv
