// SPDX-License-Identifier: GPL-3.0-or-later
// The Graph view page: the spectrum graph with its view buttons, "Log", the
// window and trace choices, and the mouse, note, DC and peak read-outs. It
// owns the spectrum view that shows every analysed frame here and on the
// spectrogram.
#pragma once

#include "analysis/TraceHold.h"
#include "analysis/WindowFunctions.h"

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace duv {

class TGraphBox;
class TReadOut;
class TRealSpin;
class TSAGraphs;
class TSpectroGram;
class TSpectrumView;
class TSpeedButton;
class TWaveReader;

class TGraphPage : public QWidget
{
  Q_OBJECT
public:
  // Spectrogram: where each frame also goes as a row; Reader: the capture,
  // whose rate and buffer length the spectrogram's rows follow.
  TGraphPage(TSpectroGram& Spectrogram, TWaveReader& Reader, QWidget* Parent = nullptr);
  ~TGraphPage() override;

  TGraphBox& SpectrumGraph() { return *FSpectrumGraph; }
  TSpectrumView& SpectrumView() { return *FSpectrumView; }
  // Connects the view buttons, "Log", "Round Ticks" and a reset asked of the
  // graph to the graph commands.
  void BindViewCommands(TSAGraphs& Graphs);
  // "Round Ticks": round values and units on the axes of all three graphs.
  void SetRoundTicks(bool Round);
  bool RoundTicks() const;

  // What a user chooses and reads here.
  void SetWindow(TWindowKind Window);
  void SetTraceMode(TTraceMode Mode);
  void SetAverageTime(double Seconds);
  // "Log": the frequency axis on a logarithmic scale.
  void SetLogFrequency(bool On);
  bool LogFrequency() const;
  QString MouseText() const;
  QString NoteText() const;
  QString DCOffsetText() const;
  QString PeakText() const;

  // Handlers. The mouse read-outs show values over the plot only.
  void SpectrumGraphMouseMove(int X, int Y);
  void ClearMouse();
  void WindowComboChange();
  void TraceComboChange();

private:
  TGraphBox* FSpectrumGraph = nullptr; // SpectrumGraph
  std::unique_ptr<TSpectrumView> FSpectrumView;
  TSpeedButton *PanLeftSpecHBtn = nullptr, *PanRightSpecHBtn = nullptr, *ZoomInSpecHBtn = nullptr,
               *ZoomOutSpecHBtn = nullptr, *ResetSpecHBtn = nullptr;
  TSpeedButton *PanUpSpecVBtn = nullptr, *PanDownSpecVBtn = nullptr, *ZoomInSpecVBtn = nullptr,
               *ZoomOutSpecVBtn = nullptr, *ResetSpecVBtn = nullptr;
  QCheckBox* LogCheck = nullptr;
  QCheckBox* RoundCheck = nullptr;
  QComboBox* WindowCombo = nullptr;
  QComboBox* TraceCombo = nullptr;
  TRealSpin* AverageSpin = nullptr;
  QPushButton* TraceResetBtn = nullptr;
  TReadOut* MouseDis = nullptr;
  TReadOut* NoteDis = nullptr;
  TReadOut* DCOffsetDis = nullptr;
  TReadOut* PeakDis = nullptr;
};

} // namespace duv
