// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1: the program's main window. It holds the input pages on the left
// (Real Time, Wave File, Synthesize) and the views on the right (the
// oscilloscope band over the Graph and Spectrogram pages), the menus, the
// dialogs and the devices, and wires the pages to one another. Each page owns
// its controls, its handlers and its module.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QFileDialog;
class QMenu;
class QSplitter;
class QTabWidget;
class QTimer;

namespace duv {

class TAboutDlg;
class TCHMHelper;
class TDropController;
class TGraphPage;
class TMeasurement;
class TRealTimePage;
class TReopenMenu;
class TSAGraphs;
class TScopeBand;
class TSpectroDlg;
class TSpectrogramPage;
class TSynthesizePage;
class TWaveFilePage;
class TWaveReader;
class TWholeFilePage;
struct TViewSetting;

class TForm1 : public QMainWindow
{
  Q_OBJECT
public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The pages.
  TRealTimePage& RealTimePage() { return *RealTimeSheet; }
  TWaveFilePage& WaveFilePage() { return *WaveFileSheet; }
  TSynthesizePage& SynthesizePage() { return *SynthesizeSheet; }
  TScopeBand& ScopeBand() { return *FScopeBand; }
  TGraphPage& GraphPage() { return *GraphSheet; }
  TSpectrogramPage& SpectrogramPage() { return *SpectrogramSheet; }
  // Bands, the measurement read-out, calibration and the loopback test.
  TMeasurement& Measurement() { return *Measurement1; }
  TWholeFilePage& WholeFilePage() { return *WholeFileSheet; }
  // Which input page and which view page are shown.
  QTabWidget& InputPages() { return *PageControl1; }
  QTabWidget& ViewPages() { return *PageControl2; }

  // The devices and components the pages share.
  TWaveReader& Reader() { return *WaveReader1; }
  TReopenMenu& RecentFiles() { return *ReopenMenu1; }
  TDropController& DropController() { return *DropController1; }
  // The Open dialog while it is shown; null otherwise. Each Open makes a
  // new one, in the current folder with the filter chosen last.
  QFileDialog* OpenDialog() const;
  TSpectroDlg& SpectrogramDialog() { return *SpectroDlg; }
  TAboutDlg& AboutDialog() { return *AboutDlg; }
  // Asks where to save (caption, suggested name, filter); empty when
  // cancelled. Replaceable so saving can be driven without a dialog.
  std::function<QString(const QString&, const QString&, const QString&)> AskSaveFileName;

  // Opens a wave file on the Wave File page. A file that cannot be read
  // throws its error (the application shows it) and changes nothing.
  void OpenWaveFile(const QString& Path);
  // The shown spectrum as the command line prints it: CSV with the DC offset.
  QString SpectrumText() const;
  // Copies the view that has the keyboard focus.
  void CopyFocusedView();
  // Whether the Wave File page is the one shown.
  bool WaveFilePageActive() const;

  // The view settings: the program's start-up puts back those of the last
  // run. From then on a change is written to the INI file within half a
  // second (a crash loses nothing more), and all of them when the window
  // closes. A window made without this (a test's) starts from the design and
  // writes nothing.
  void RestoreViewSettings();
  void SaveViewSettings();
  // "Reset View Settings": the design's values.
  void ResetViewSettings1Click();

  // Handlers of the window and its menus.
  void FormCreate();
  void OpenWaveFile1Click();
  void ReopenMenu1MenuClick(const QString& Path);
  void DropController1Drop();
  void LeftGraphMouseDown(int X, int Y);
  void LeftGraphPaint();
  void PageControl1Change();
  void PrintSpecturm1Click();
  void CopySpectrogram1Click();
  void PrintSpectrogram1Click();
  void SetupSpectrogram1Click();
  void SpectroGram1BarSelect();
  void ResetSpacing1Click();
  void Contents1Click();
  void About1Click();
  void SaveSpectrum1Click();
  void CopySpectrumText1Click();
  void SaveSpectrogramImage1Click();
  // The capture history: saved as a WAV file, or opened on the Wave File
  // page as if it were a file.
  void SaveCapture1Click();
  void AnalyzeCapture1Click();

  // The menu items, by the captions' names.
  QMenu *File1 = nullptr, *Reopen1 = nullptr, *Edit1 = nullptr, *Settings1 = nullptr,
        *Help1 = nullptr, *PopupMenu1 = nullptr;
  QAction *OpenWaveFile1 = nullptr, *PrintLeftChannel1 = nullptr, *PrintRightChannel1 = nullptr,
          *PrintSpecturm1 = nullptr, *PrintSpectrogram1 = nullptr, *SaveSpectrum1 = nullptr,
          *SaveSpectrogramImage1 = nullptr, *SaveCapture1 = nullptr, *AnalyzeCapture1 = nullptr,
          *Exit1 = nullptr;
  QAction *CopyLeftChannel1 = nullptr, *CopyRightChannel1 = nullptr, *CopySpectrum1 = nullptr,
          *CopySpectrumText1 = nullptr, *CopySpectrogram1 = nullptr;
  QAction *SetupSpectrogram1 = nullptr, *ResetViewSettings1 = nullptr, *Contents1 = nullptr,
          *About1 = nullptr, *SetupBands1 = nullptr, *ResetSpacing1 = nullptr;
  QAction *Calibration1 = nullptr, *TestSoundCard1 = nullptr;

protected:
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  // Space that no control took pauses or resumes the views.
  void keyPressEvent(QKeyEvent* e) override;

private:
  friend std::vector<TViewSetting> MakeViewSettingsTable();
  void BuildMenus();
  void ConnectPages();
  // Sizes that hold text follow the font (see DesignScale).
  void ApplyDesignScale();
  void ResizeToDesign();
  // Every control that holds a view setting notes its changes.
  void WatchViewSettings();
  void NoteSettingsChange();
  // Writes the view settings when they differ from those last written.
  void SaveChangedSettings();

  // Non-visual components and dialogs, kept for the whole run.
  TWaveReader* WaveReader1 = nullptr;
  TCHMHelper* CHMHelper1 = nullptr;
  TReopenMenu* ReopenMenu1 = nullptr;
  TDropController* DropController1 = nullptr;
  QPointer<QFileDialog> FOpenDialog;
  QString FOpenFilter;
  TAboutDlg* AboutDlg = nullptr;
  TSpectroDlg* SpectroDlg = nullptr;

  QSplitter* MainSplitter = nullptr;    // input pages | views
  QSplitter* DisplaySplitter = nullptr; // oscilloscope band / view pages
  QTabWidget* PageControl1 = nullptr;   // the input pages
  QTabWidget* PageControl2 = nullptr;   // the view pages
  TRealTimePage* RealTimeSheet = nullptr;
  TWaveFilePage* WaveFileSheet = nullptr;
  TSynthesizePage* SynthesizeSheet = nullptr;
  TScopeBand* FScopeBand = nullptr;
  TGraphPage* GraphSheet = nullptr;
  TSpectrogramPage* SpectrogramSheet = nullptr;
  TWholeFilePage* WholeFileSheet = nullptr;
  // The graph view commands, shared by the band and the Graph page.
  std::unique_ptr<TSAGraphs> Graphs;
  TMeasurement* Measurement1 = nullptr;
  // The view settings as designed, for "Reset View Settings"; remembered
  // between runs once RestoreViewSettings has run.
  QVariantMap FDesignSettings;
  bool FRememberSettings = false;
  // The settings as last written, and the wait before a change is written.
  QVariantMap FSavedSettings;
  QTimer* FSettingsTimer = nullptr;
};

} // namespace duv
