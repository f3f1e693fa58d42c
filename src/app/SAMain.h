// TForm1: the program's main window. It owns every component (the wave input
// reader, the three graphs, the spectrogram, the help component) and lays
// out the input pages on the left and the views on the right: the
// oscilloscope band at the top and the spectrum and spectrogram pages below.
// The analysis modules reach the controls through the structs of references
// this window fills at start-up.
#pragma once

#include "analysis/SAGlobal.h"
#include "analysis/SAGlobalView.h"
#include "analysis/SARealTime.h"
#include "graph/SAGraphs.h"

#include <QMainWindow>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace duv {

class TCHMHelper;
class TGraphBox;
class TRadioGroup;
class TReadOut;
class TRealSpin;
class TReopenMenu;
class TSpectroGram;
class TSpeedButton;
class TWaveReader;

class TForm1 : public QMainWindow
{
  Q_OBJECT
public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The analysis state and modules.
  TAnalysis Analysis;
  std::unique_ptr<TSpectrumView> SpectrumView;
  std::unique_ptr<TSAGraphs> Graphs;
  std::unique_ptr<TSARealTime> RealTime;

  // Non-visual components.
  TWaveReader* WaveReader1 = nullptr;
  TCHMHelper* CHMHelper1 = nullptr;
  TReopenMenu* ReopenMenu1 = nullptr;

  // Left: the input pages.
  QTabWidget* PageControl1 = nullptr;
  QWidget* RealTimeSheet = nullptr;
  QPushButton* InputBtn = nullptr;
  QComboBox* BuffSizeCombo = nullptr;
  QComboBox* FormatCombo = nullptr;
  TReadOut* BandWidthDis = nullptr;
  TReadOut* ResDis = nullptr;
  TReadOut* FPSDis = nullptr;
  TSpeedButton* StartBtn = nullptr;
  TSpeedButton* StopBtn = nullptr;
  QCheckBox* OscopeChk = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* SpectrumChk = nullptr;
  TRadioGroup* ChannelRadio = nullptr;
  TReadOut* FramesDis = nullptr;

  // Right: the oscilloscope band.
  TGraphBox* LeftGraph = nullptr;
  TGraphBox* RightGraph = nullptr;
  TReadOut* PosXDis = nullptr;
  TReadOut* PosYDis = nullptr;
  TSpeedButton *LeftRawBtn = nullptr, *PanRightRawHBtn = nullptr, *ZoomInRawHBtn = nullptr,
               *ZoomOutRawHBtn = nullptr, *ResetRawHBtn = nullptr;
  TSpeedButton *PanUpRawVBtn = nullptr, *ZoomInRawVBtn = nullptr, *ResetRawVBtn = nullptr,
               *ZoomOutRawVBtn = nullptr, *PanDownRawVBtn = nullptr;

  // Right: the analysis pages.
  QTabWidget* PageControl2 = nullptr;
  QWidget* GraphSheet = nullptr;
  TGraphBox* SpectrumGraph = nullptr;
  TReadOut* MouseDis = nullptr;
  TReadOut* NoteDis = nullptr;
  TReadOut* DCOffsetDis = nullptr;
  TSpeedButton *PanLeftSpecHBtn = nullptr, *PanRightSpecHBtn = nullptr, *ZoomInSpecHBtn = nullptr,
               *ZoomOutSpecHBtn = nullptr, *ResetSpecHBtn = nullptr;
  TSpeedButton *PanUpSpecVBtn = nullptr, *PanDownSpecVBtn = nullptr, *ZoomInSpecVBtn = nullptr,
               *ZoomOutSpecVBtn = nullptr, *ResetSpecVBtn = nullptr;
  QCheckBox* LogCheck = nullptr;
  QWidget* SpectrogramSheet = nullptr;
  QComboBox* ColorCombo = nullptr;
  TRealSpin* TimeSpin = nullptr;
  TSpectroGram* SpectroGram1 = nullptr;
  TReadOut* Mouse2Dis = nullptr;
  TReadOut* Note2Dis = nullptr;

  QSplitter* MainSplitter = nullptr;    // input pages | views
  QSplitter* DisplaySplitter = nullptr; // oscilloscope band / analysis pages
  QSplitter* GraphSplitter = nullptr;   // LeftGraph / RightGraph

  // Handlers.
  void FormCreate();
  void InputBtnClick();
  void StartBtnClick();
  void StopBtnClick();
  void RestartCapture();
  void WaveReader1WaveIn(const void* Buffer, int SampleCount, const TWaveDataFormat& Format);
  void BuffSizeComboChange();
  void FormatComboChange();
  void ColorComboChange();
  void SpectrumGraphMouseMove(int X, int Y);
  void SpectroGram1MouseMove(int X, int Y);
  void LeftGraphMouseMove(TGraphBox* Sender, int X, int Y);

protected:
  void changeEvent(QEvent* e) override;

private:
  QWidget* BuildRealTimeSheet();
  QWidget* BuildScopeBand();
  QWidget* BuildGraphSheet();
  QWidget* BuildSpectrogramSheet();
  void SetupGraphs();
  void ConnectHandlers();
  // Sizes that hold text follow the font (see DesignScale).
  void ApplyDesignScale();
};

} // namespace duv
