// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement in the window: the shared settings, the Bands page, the
// read-out under the spectrum, and the calibration and loopback dialogs,
// wired to the spectrum view that every frame passes through. The main
// window makes one and gives it the views it joins.
#pragma once

#include <QObject>

class QTabWidget;
class QWidget;

namespace duv {

class TBandsPage;
class TCalibrationDialog;
class TGraphBox;
class TLoopbackDialog;
class TMeasurePanel;
class TMeasureState;
class TSAGraphs;
class TSpectrumView;

// What measurement joins in the window.
struct TMeasureViews
{
  TSpectrumView& Spectrum;
  TGraphBox& SpectrumGraph;
  TSAGraphs& Graphs;
  QWidget& GraphPage;    // the read-out goes under its spectrum
  QTabWidget& ViewPages; // the Bands page goes beside the Graph page
};

class TMeasurement : public QObject
{
  Q_OBJECT
public:
  // Settings are read from and kept in IniPath (none: memory only).
  TMeasurement(const TMeasureViews& Views, const QString& IniPath, QWidget* Window);

  TMeasureState& State() { return *FState; }
  TBandsPage& BandsPage() { return *FBandsPage; }
  TMeasurePanel& Panel() { return *FPanel; }
  TCalibrationDialog& CalibrationDialog() { return *FCalibration; }
  TLoopbackDialog& LoopbackDialog() { return *FLoopback; }

  // The Settings menu's commands: the dialogs, shown without holding the
  // window.
  void ShowCalibration();
  void ShowLoopbackTest();

private:
  void StateChange();

  TMeasureViews FViews;
  TMeasureState* FState = nullptr;
  TBandsPage* FBandsPage = nullptr;
  TMeasurePanel* FPanel = nullptr;
  TCalibrationDialog* FCalibration = nullptr;
  TLoopbackDialog* FLoopback = nullptr;
};

} // namespace duv
