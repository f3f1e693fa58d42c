// SPDX-License-Identifier: GPL-3.0-or-later
// The axis and title parameters of a graph: plain values with setters that
// tell their owner about every change through OnChange, so the graph can lay
// itself out again and repaint. No widget here.
#pragma once

#include "graph/AxisMath.h"

#include <QString>
#include <functional>

namespace duv {

enum TTitlePosition { tpCenter, tpLeft, tpRight };

// One axis of a graph: range, scale and label options. Every setter that
// changes a value calls OnChange; Min, Max and Log keep a logarithmic axis
// strictly positive.
class TAxisParams
{
public:
  std::function<void(TAxisParams* Sender)> OnChange;

  bool ExponentLabels() const { return FExponentLabels; }
  bool Log() const { return FLog; }
  bool MinorLabels() const { return FMinorLabels; }
  bool MinorLines() const { return FMinorLines; }
  double Min() const { return FMin; }
  double Max() const { return FMax; }
  double Multiplier() const { return FMultiplier; }
  double Offset() const { return FOffset; }
  int Lines() const { return FLines; }
  bool ShowLabels() const { return FShowLabels; }
  const QString& Units() const { return FUnits; }
  int LabelModulo() const { return FLabelModulo; }
  double Cycle() const { return FCycle; }

  void SetExponentLabels(bool Value);
  void SetLog(bool Value);
  void SetMinorLabels(bool Value);
  void SetMinorLines(bool Value);
  void SetMin(double Value);
  void SetMax(double Value);
  void SetMultiplier(double Value);
  void SetOffset(double Value);
  void SetLines(int Value);
  void SetShowLabels(bool Value);
  void SetUnits(const QString& Value);
  // Values below 1 are taken as 1: every label index is tested modulo it.
  void SetLabelModulo(int Value);
  void SetCycle(double Value);

  // The unit an axis with round ticks shows once, at its far end ("Hz");
  // none when empty. Unlike Units, it is not appended to every label.
  const QString& AxisUnit() const { return FAxisUnit; }
  void SetAxisUnit(const QString& Value);
  // How far the user may zoom and move the axis. Not drawn, so no notice.
  const TAxisLimits& ZoomLimits() const { return FZoomLimits; }
  void SetZoomLimits(const TAxisLimits& Value) { FZoomLimits = Value; }

  // The number a label shows for axis value V.
  double AxisValue(double V) const { return duv::AxisValue(V, FMultiplier, FOffset, FCycle); }

private:
  void Changed(bool LogFixUp);

  bool FExponentLabels = false;
  bool FLog = false;
  bool FMinorLabels = false;
  bool FMinorLines = false;
  double FMin = 0;
  double FMax = 0;
  double FMultiplier = 1.0;
  double FOffset = 0.0;
  int FLines = 0;
  bool FShowLabels = false;
  QString FUnits;
  int FLabelModulo = 1;
  double FCycle = 0.0;
  QString FAxisUnit;
  TAxisLimits FZoomLimits;
};

// The caption drawn above the plot.
class TGraphTitle
{
public:
  std::function<void(TGraphTitle* Sender)> OnChange;

  const QString& Caption() const { return FCaption; }
  bool ShowCaption() const { return FShowCaption; }
  bool Boxed() const { return FBoxed; }
  TTitlePosition Position() const { return FPosition; }

  void SetCaption(const QString& Value);
  void SetShowCaption(bool Value);
  void SetBoxed(bool Value);
  void SetPosition(TTitlePosition Value);

private:
  void Changed();

  QString FCaption;
  bool FShowCaption = false;
  bool FBoxed = false;
  TTitlePosition FPosition = tpCenter;
};

} // namespace duv
