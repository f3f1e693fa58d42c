// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SAWaveFile.h"

#include "app/pages/SAGlobalView.h"
#include "audio/WaveLib.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"
#include "app/pages/SAGraphs.h"
#include "support/DSupport.h"
#include "support/UiSupport.h"
#include "wavefile/SoundDecoder.h"
#include "wavefile/WaveStretch.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace duv {

namespace {
constexpr TColor TraceColor = MakeColor(255, 0, 0);
constexpr TColor MarkerColor = MakeColor(0, 0, 255);
} // namespace

std::int16_t FourBitTo16(int Sample)
{
  // 0 .. 15 spread over -32767 .. 32767, symmetric about the mid level 7.5.
  return std::int16_t(Round((std::clamp(Sample, 0, 15) - 7.5L) / 7.5L * 32767));
}

TSAWaveFile::TSAWaveFile(TSpectrumView& Spectrum, TSAGraphs& Graphs,
                         const TWaveFileControls& Controls)
    : FSpectrum(Spectrum), FGraphs(Graphs), FControls(Controls),
      FSoundFile(std::make_unique<TSoundFile>())
{
  Play = PlayWave;
  Playing = WaveOutIsPlaying;
  StopPlaying = StopWaveOut;
}

QString BitsText(const TSampleLayout& Layout, int ReadBits)
{
  // A decoded file shows its own width, or its encoding ("MP3"): it is
  // always read as 16 bits unless it holds 16-bit integers.
  if (Layout.Decoded) {
    const TDecodedFormat& d = *Layout.Decoded;
    const QString own = d.WidthText();
    return d.Bits == ReadBits && !d.Float ? own : own + QStringLiteral(" (read as %1)").arg(ReadBits);
  }
  const int bits = Layout.Bits > 0 ? Layout.Bits : ReadBits;
  QString text = QString::number(bits);
  if (Layout.Encoding == WAVE_FORMAT_IEEE_FLOAT)
    text += QStringLiteral(" float");
  if (Layout.Unpacked() && (bits != ReadBits || Layout.Encoding == WAVE_FORMAT_IEEE_FLOAT))
    text += QStringLiteral(" (read as %1)").arg(ReadBits);
  return text;
}

TSAWaveFile::~TSAWaveFile() = default;

bool TSAWaveFile::SetFileName(const QString& Path)
{
  if (Path == FSoundFile->FileName())
    return true; // the same file again is shown again, not read again
  // Read into a file object of its own: a file that fails, or whose load the
  // user cancels, leaves the loaded one, and everything shown from it, as it
  // was.
  auto file = std::make_unique<TSoundFile>();
  // A load that goes on past the delay shows its progress, with a way out.
  // Most files are read before the dialog would even appear.
  QElapsedTimer clock;
  clock.start();
  std::unique_ptr<QProgressDialog> dialog;
  int shown = -1;
  file->OnProgress = [&](std::int64_t done, std::int64_t total) {
    if (!dialog) {
      if (clock.elapsed() < ProgressDelayMs || done >= total)
        return true;
      dialog = std::make_unique<QProgressDialog>(
          QStringLiteral("Reading %1 ...").arg(QFileInfo(Path).fileName()),
          QStringLiteral("Cancel"), 0, 1000, FControls.LeftGraph.window());
      dialog->setWindowTitle(QStringLiteral("Opening Wave File"));
      FitTitleWidth(*dialog);
      dialog->setWindowModality(Qt::WindowModal); // the window waits for the load
      dialog->setMinimumDuration(0);
      dialog->setAutoReset(false);
      dialog->setAutoClose(false);
      dialog->show();
    }
    const int value = total > 0 ? int(std::min<std::int64_t>(1000, done * 1000 / total)) : 0;
    if (value != shown) {
      dialog->setValue(value);
      shown = value;
    }
    // Paints the dialog and takes the click on Cancel.
    QCoreApplication::processEvents();
    return !dialog->wasCanceled();
  };
  try {
    file->SetFileName(Path);
  } catch (const ELoadCancelled&) {
    return false;
  }
  file->OnProgress = nullptr; // it refers to this call's locals
  FSoundFile = std::move(file);
  return true;
}

void TSAWaveFile::SetCapture(const TSoundData& Data, const QString& Name)
{
  auto file = std::make_unique<TSoundFile>();
  file->LoadSamples(Data, Name);
  FSoundFile = std::move(file);
}

bool TSAWaveFile::HasSamples() const
{
  return FSoundData.SamplesPerChannel > 0 && !FSoundData.Channels[0].isEmpty();
}

int TSAWaveFile::SelectedSize() const
{
  return ComboBufferSize(FControls.BufferSizeCombo2.currentIndex());
}

std::int64_t TSAWaveFile::StretchOffset() const
{
  // From the file's own rate, so that whole positions are exact: 1.0 s at
  // 44100 Hz is sample 44100.
  return StretchOffsetSamples(FControls.OffsetSpin.Value(), FSoundData.Format.nSamplesPerSec);
}

void TSAWaveFile::ShowWaveFile()
{
  // Another file starts at its beginning; the same one shown again keeps
  // the place.
  const bool another =
      FSoundFile->SoundData().Channels[0].constData() != FSoundData.Channels[0].constData() ||
      FSoundFile->SoundData().SamplesPerChannel != FSoundData.SamplesPerChannel;
  FSoundData = FSoundFile->SoundData();
  ShowFileFormat();
  if (another) {
    const QSignalBlocker quiet(&FControls.OffsetSpin);
    FControls.OffsetSpin.SetValue(0);
  }
  LimitOffset();
  ShowFileTraces();
}

void TSAWaveFile::ShowFileTraces()
{
  FSpectrum.SetSource(TViewSource::File);
  TGraphBox& left = FControls.LeftGraph;
  TGraphBox& right = FControls.RightGraph;
  left.Clear();
  right.Clear();
  const WAVEFORMATEX& f = FSoundData.Format;
  double yMin = 0, yMax = 0;
  switch (f.wBitsPerSample) {
  case 4:
    yMax = 16;
    break;
  case 8:
    yMax = 256;
    break;
  case 16:
    yMin = -32768;
    yMax = 32768;
    break;
  default:
    break; // no trace for a width that was not unpacked
  }
  if (yMax > yMin)
    for (int k = 0; k < std::min<int>(f.nChannels, 2); ++k)
      PlotChannel(k == 0 ? left : right, FSoundData.Channels[std::size_t(k)], yMin, yMax,
                  f.nSamplesPerSec);
  FGraphs.SetRawDefaults({{left.YAxis().Min(), left.YAxis().Max()},
                          {left.XAxis().Min(), left.XAxis().Max()}});
  // The spectrum shows nothing of the file until a stretch is analysed.
  FSpectrum.ClearTrace();
  SetupFileSpectrum();
}

void TSAWaveFile::ShowFileFormat()
{
  const WAVEFORMATEX& f = FSoundData.Format;
  FControls.ChannelDis.SetText(QString::number(f.nChannels));
  FControls.HzDis.SetText(QString::number(f.nSamplesPerSec));
  FControls.ByteSecDis.SetText(QString::number(f.nAvgBytesPerSec));
  FControls.BlockAlignDis.SetText(QString::number(f.nBlockAlign));
  FControls.BitsDis.SetText(BitsText(FSoundFile->SampleLayout(), f.wBitsPerSample));
  FControls.SamplesDis.SetText(FormatThousands(FSoundData.SamplesPerChannel));
}

void TSAWaveFile::LimitOffset()
{
  TRealSpin& spin = FControls.OffsetSpin;
  const double rate = FSoundData.Format.nSamplesPerSec;
  // The last sample's time: any offset up to it has a stretch to use.
  const double last = rate > 0 && FSoundData.SamplesPerChannel > 0
                          ? (FSoundData.SamplesPerChannel - 1) / rate
                          : 0.0;
  spin.SetMaxValue(last);
  spin.setToolTip(QStringLiteral("From 0 to %1 s, the start of the file's last sample")
                      .arg(FormatFixed(last, 3)));
  // Kept across files where it fits; a new file moves nothing by itself,
  // so neither Auto Analyze nor Auto Play runs here.
  if (spin.Value() > last) {
    const QSignalBlocker quiet(&spin);
    spin.SetValue(last);
  }
}

void TSAWaveFile::PlotChannel(TGraphBox& Graph, const TSoundArray& Samples, double YMin,
                              double YMax, double Rate)
{
  Graph.YAxis().SetMin(YMin);
  Graph.YAxis().SetMax(YMax);
  // The whole file, with the labels in seconds while points sit at their
  // sample index.
  Graph.XAxis().SetMin(0);
  Graph.XAxis().SetMax(double(Samples.size()));
  Graph.XAxis().SetMultiplier(Rate > 0 ? 1 / Rate : 1.0);
  Graph.SetDecimals2(1);
  Graph.BeginUpdate();
  // One sample series, read in place: the copy of the list only shares its
  // samples and keeps them alive for the graph.
  const auto shared = std::make_shared<const TSoundArray>(Samples);
  Graph.AddSamples(0, TraceColor,
                   std::span<const TSoundArray::value_type>(shared->constData(), shared->size()),
                   1.0, shared);
  Graph.EndUpdate();
}

void TSAWaveFile::SetupFileSpectrum()
{
  if (FSoundData.Format.nSamplesPerSec == 0 || !FileShown())
    return; // no file yet, or live frames shown: the live set-up stays
  FSpectrum.SetupSpectrum(FSoundData.Format.wBitsPerSample, SelectedSize(),
                          FSoundData.Format.nSamplesPerSec, FControls.TimeSpin.Value());
}

void TSAWaveFile::AnalyzeStretch()
{
  const std::int64_t offset = StretchOffset();
  if (!HasSamples() || offset >= FSoundData.SamplesPerChannel)
    return;
  // The stretch is shown with its file: after live frames, the file's
  // traces come back first.
  if (!FileShown()) {
    ShowFileTraces();
    DrawStretchMarker();
  }
  const int n = SelectedSize();
  // A stretch shorter than the buffer size (the file's tail) is zero-padded
  // to it: the transform gets its power of two and the frequency axis stays
  // the one SetupFileSpectrum gave.
  FStretch.resize(std::size_t(n));
  FillStretch(FSoundData, offset, n, FStretch.data());
  TFrameFormat format;
  format.SampleRate = FSoundData.Format.nSamplesPerSec;
  format.Size = n;
  format.Bits = FSoundData.Format.wBitsPerSample;
  format.Channels = FSoundData.Format.nChannels;
  format.Channel = 0;
  FSpectrum.ShowSpectrum(FStretch, format);
}

void TSAWaveFile::PlayStretch()
{
  PlayChannelSamples(FSoundData, 0, SelectedSize(), StretchOffset());
}

void TSAWaveFile::PlayChannelSamples(const TSoundData& Data, int Channel, int Count,
                                     std::int64_t Offset)
{
  if (Channel < 0 || Channel > 1)
    return;
  const TSoundArray& samples = Data.Channels[std::size_t(Channel)];
  const std::int64_t available = std::min<std::int64_t>(Data.SamplesPerChannel, samples.size());
  if (Offset < 0 || Offset >= available || Count <= 0)
    return; // nothing unpacked, or nothing left to play
  Count = int(std::min<std::int64_t>(Count, available - Offset));

  WAVEFORMATEX f = Data.Format;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.cbSize = 0;
  if (f.wBitsPerSample == 8) {
    PlayBuffer8.resize(std::size_t(Count));
    for (int i = 0; i < Count; ++i)
      PlayBuffer8[std::size_t(i)] = std::uint8_t(samples[Offset + i]);
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = f.nSamplesPerSec;
    Play(f, PlayBuffer8.data(), std::uint32_t(Count), false);
    return;
  }
  PlayBuffer16.resize(std::size_t(Count));
  for (int i = 0; i < Count; ++i)
    PlayBuffer16[std::size_t(i)] = f.wBitsPerSample == 4 ? FourBitTo16(samples[Offset + i])
                                                         : std::int16_t(samples[Offset + i]);
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = f.nSamplesPerSec * 2;
  Play(f, PlayBuffer16.data(), std::uint32_t(Count) * 2, false);
}

void TSAWaveFile::OffsetSpinChange()
{
  if (FControls.AutoFourierChk.isChecked())
    AnalyzeStretch();
  if (FControls.AutoPlayChk.isChecked())
    PlayStretch();
  FControls.LeftGraph.RestoreImage(); // wipes the old marker lines
  DrawStretchMarker();
}

void TSAWaveFile::BufferSizeCombo2Change()
{
  FControls.LeftGraph.RestoreImage();
  DrawStretchMarker();
  SetupFileSpectrum();
}

bool TSAWaveFile::FileShown() const
{
  return FSpectrum.Source() == TViewSource::File && !FSoundFile->FileName().isEmpty();
}

void TSAWaveFile::LeftGraphMouseDown(int X, int Y)
{
  if (!FileShown())
    return; // a live trace: its samples are not the file's
  double x = 0, y = 0;
  FControls.LeftGraph.PixelToValue(X, Y, x, y);
  // The clicked sample index in seconds; the spin's change moves the stretch.
  FControls.OffsetSpin.SetValue(std::max(0.0, x * FControls.LeftGraph.XAxis().Multiplier()));
}

void TSAWaveFile::DrawStretchMarker()
{
  if (!FileShown())
    return;
  TGraphBox& g = FControls.LeftGraph;
  const double rate = FSoundData.Format.nSamplesPerSec;
  const double start = std::min(FControls.OffsetSpin.Value() * rate, g.XAxis().Max());
  const double end = std::min(start + SelectedSize(), g.XAxis().Max());
  for (double x : {start, end}) {
    g.MoveToValue(x, g.YAxis().Min());
    g.LineToValue(MarkerColor, x, g.YAxis().Max());
  }
}

} // namespace duv
