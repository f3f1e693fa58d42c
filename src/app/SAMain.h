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
#include "synth/SASynthesizer.h"
#include "wavefile/SAWaveFile.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace duv {

class TAboutDlg;
class TCHMHelper;
class TCheckedGroup;
class TDropController;
class TGraphBox;
class TSpectroDlg;
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
  std::unique_ptr<TSAWaveFile> WaveFile;
  std::unique_ptr<TSASynthesizer> Synthesizer;

  // The dialogs, made after the window and kept for the whole run.
  TAboutDlg* AboutDlg = nullptr;
  TSpectroDlg* SpectroDlg = nullptr;

  // Non-visual components.
  TWaveReader* WaveReader1 = nullptr;
  TCHMHelper* CHMHelper1 = nullptr;
  TReopenMenu* ReopenMenu1 = nullptr;
  TDropController* DropController1 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;

  // Menus.
  QMenu* File1 = nullptr;
  QMenu* Reopen1 = nullptr;
  QMenu* Edit1 = nullptr;
  QMenu* Settings1 = nullptr;
  QMenu* Help1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction *OpenWaveFile1 = nullptr, *PrintLeftChannel1 = nullptr, *PrintRightChannel1 = nullptr,
          *PrintSpecturm1 = nullptr, *PrintSpectrogram1 = nullptr, *Exit1 = nullptr;
  QAction *CopyLeftChannel1 = nullptr, *CopyRightChannel1 = nullptr, *CopySpectrum1 = nullptr,
          *CopySpectrumText1 = nullptr, *CopySpectrogram1 = nullptr;
  QAction *SaveSpectrum1 = nullptr, *SaveSpectrogramImage1 = nullptr;
  // Asks where to save (caption, suggested name, filter); empty when
  // cancelled. Replaceable so saving can be driven without a dialog.
  std::function<QString(const QString&, const QString&, const QString&)> AskSaveFileName;
  QAction *SetupSpectrogram1 = nullptr, *Contents1 = nullptr, *About1 = nullptr;
  QAction *SetupBands1 = nullptr, *ResetSpacing1 = nullptr;

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
  // Input the device recorded but could not hand over in this capture.
  TReadOut* InputLostDis = nullptr;

  // Left: the Wave File page.
  QWidget* WaveFileSheet = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  TReadOut *ChannelDis = nullptr, *HzDis = nullptr, *ByteSecDis = nullptr,
           *BlockAlignDis = nullptr, *BitsDis = nullptr, *SamplesDis = nullptr;
  QComboBox* BufferSizeCombo2 = nullptr;
  TRealSpin* OffsetSpin = nullptr;
  QPushButton* AnalyzeFileBtn = nullptr;
  QPushButton* PlaySampleBtn = nullptr;
  QCheckBox* AutoFourierChk = nullptr;
  QCheckBox* AutoPlayChk = nullptr;

  // Left: the Synthesize page.
  QWidget* SynthesizeSheet = nullptr;
  QPushButton* TestBtn = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  TRealSpin *FreqSpin = nullptr, *AmpSpin = nullptr, *DCSpin = nullptr, *Freq2Spin = nullptr;
  TRadioGroup* BaseTypeRadio = nullptr;
  QCheckBox* SweepChk = nullptr;
  TCheckedGroup* ModulateChk = nullptr;
  TRadioGroup* ModTypeRadio = nullptr;
  TRealSpin *MFreqSpin = nullptr, *MAmpSpin = nullptr;
  QCheckBox* PlaySoundChk = nullptr;

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
  QComboBox* WindowCombo = nullptr;
  QComboBox* TraceCombo = nullptr;
  TRealSpin* AverageSpin = nullptr;
  QPushButton* TraceResetBtn = nullptr;
  TReadOut* PeakDis = nullptr;
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

  // Files, the synthesizer, the menus.
  // Opens a wave file on the Wave File page. A file that cannot be read
  // throws its error (the application shows it) and changes nothing.
  void OpenWaveFile(const QString& Path);
  void OpenWaveFile1Click();
  void ReopenMenu1MenuClick(const QString& Path);
  void DropController1Drop();
  void AnalyzeFileBtnClick();
  void PlaySampleBtnClick();
  void OffsetSpinChange();
  void BufferSizeCombo2Change();
  void LeftGraphMouseDown(int X, int Y);
  void LeftGraphPaint();
  void PageControl1Change();
  void TestBtnClick();
  void PrintSpecturm1Click();
  void CopySpectrogram1Click();
  void PrintSpectrogram1Click();
  void SetupSpectrogram1Click();
  void SpectroGram1BarSelect();
  void ResetSpacing1Click();
  void Contents1Click();
  void About1Click();
  void WindowComboChange();
  void TraceComboChange();
  // The shown spectrum as the command line prints it: CSV with the DC offset.
  QString SpectrumText() const;
  void SaveSpectrum1Click();
  void CopySpectrumText1Click();
  void SaveSpectrogramImage1Click();
  // Copies the view that has the keyboard focus.
  void CopyFocusedView();
  // Whether the Wave File page is the one shown.
  bool WaveFilePageActive() const;

protected:
  void changeEvent(QEvent* e) override;

  void closeEvent(QCloseEvent* e) override;

private:
  QWidget* BuildRealTimeSheet();
  QWidget* BuildWaveFileSheet();
  QWidget* BuildSynthesizeSheet();
  void BuildMenus();
  QWidget* BuildScopeBand();
  QWidget* BuildGraphSheet();
  QWidget* BuildSpectrogramSheet();
  void SetupGraphs();
  void ConnectHandlers();
  // Sizes that hold text follow the font (see DesignScale).
  void ApplyDesignScale();
};

} // namespace duv
