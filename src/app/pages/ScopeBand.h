// SPDX-License-Identifier: GPL-3.0-or-later
// The oscilloscope band above the view pages: the left and right channel
// graphs, their time (X) and level (Y) buttons, and " Pos:" under the mouse.
#pragma once

#include <QString>
#include <QWidget>

class QSplitter;

namespace duv {

class TGraphBox;
class TReadOut;
class TSAGraphs;
class TSpeedButton;

class TScopeBand : public QWidget
{
  Q_OBJECT
public:
  explicit TScopeBand(QWidget* Parent = nullptr);

  TGraphBox& LeftGraph() { return *FLeftGraph; }
  TGraphBox& RightGraph() { return *FRightGraph; }
  QSplitter& GraphSplitter() { return *FGraphSplitter; }
  // Connects the X and Y buttons, and a reset asked of either graph, to the
  // graph commands.
  void BindViewCommands(TSAGraphs& Graphs);
  // " Pos:" as shown: the sample index and the level.
  QString PositionText() const;

  // Handler of both channel graphs: the position only over a plot.
  void LeftGraphMouseMove(TGraphBox* Sender, int X, int Y);
  void ClearPosition();

private:
  TGraphBox* FLeftGraph = nullptr;  // LeftGraph
  TGraphBox* FRightGraph = nullptr; // RightGraph
  QSplitter* FGraphSplitter = nullptr;
  TReadOut* PosXDis = nullptr;
  TReadOut* PosYDis = nullptr;
  TSpeedButton *LeftRawBtn = nullptr, *PanRightRawHBtn = nullptr, *ZoomInRawHBtn = nullptr,
               *ZoomOutRawHBtn = nullptr, *ResetRawHBtn = nullptr;
  TSpeedButton *PanUpRawVBtn = nullptr, *ZoomInRawVBtn = nullptr, *ResetRawVBtn = nullptr,
               *ZoomOutRawVBtn = nullptr, *PanDownRawVBtn = nullptr;
};

} // namespace duv
