// SPDX-License-Identifier: GPL-3.0-or-later
// The Wave File page: the open file's statistics, the stretch's buffer size
// and offset, "Analyze" and "Play Sample" with their automatic variants. It
// owns the wave file module, which reads the file and draws it on the
// oscilloscope band.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace duv {

class TReadOut;
class TRealSpin;
class TSAGraphs;
class TSAWaveFile;
class TScopeBand;
class TSpectrumView;

class TWaveFilePage : public QWidget
{
  Q_OBJECT
public:
  TWaveFilePage(TSpectrumView& Spectrum, TSAGraphs& Graphs, TScopeBand& Scope,
                TRealSpin& TimeSpan, QWidget* Parent = nullptr);
  ~TWaveFilePage() override;

  TSAWaveFile& WaveFile() { return *FWaveFile; }

  // What a user does and reads here.
  void SetOffset(double Seconds);
  double Offset() const;
  void SetBufferSize(int Size);
  int BufferSize() const;
  void SetAutoAnalyze(bool On);
  void SetAutoPlay(bool On);
  // " Channels", " Hz", " Bytes/Sec", " Block Align", " Bits", " Samples".
  QStringList FileStatistics() const;
  // The file in a line: "FLAC, 24-bit, 48 kHz, 3:12.4".
  QString Summary() const;

  // Shows the file the module loaded last: its statistics, its traces and
  // the stretch's markers.
  void ShowLoadedFile();

  // Handlers.
  void AnalyzeFileBtnClick();
  void PlaySampleBtnClick();
  // Escape: the stretch stops playing.
  void StopSound();
  void OffsetSpinChange();
  void BufferSizeCombo2Change();
  void LeftGraphMouseDown(int X, int Y);
  void LeftGraphPaint();

Q_SIGNALS:
  // A file was shown, or the stretch moved or changed its length.
  void OnStretchChange();

private:
  TScopeBand& FScope;
  std::unique_ptr<TSAWaveFile> FWaveFile;
  QGroupBox* GroupBox2 = nullptr;
  QLabel* SummaryLabel = nullptr;
  TReadOut *ChannelDis = nullptr, *HzDis = nullptr, *ByteSecDis = nullptr, *BlockAlignDis = nullptr,
           *BitsDis = nullptr, *SamplesDis = nullptr;
  QComboBox* BufferSizeCombo2 = nullptr;
  TRealSpin* OffsetSpin = nullptr;
  QPushButton* AnalyzeFileBtn = nullptr;
  QPushButton* PlaySampleBtn = nullptr;
  QCheckBox* AutoFourierChk = nullptr;
  QCheckBox* AutoPlayChk = nullptr;
};

} // namespace duv
