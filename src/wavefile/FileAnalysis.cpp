// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/FileAnalysis.h"

#include "analysis/RealFourier.h"
#include "support/DSupport.h"
#include "wavefile/WaveStretch.h"

#include <algorithm>
#include <charconv>
#include <ostream>
#include <string>
#include <vector>

namespace duv {

void WriteFileInfo(const TSoundFile& File, std::ostream& out)
{
  const WAVEFORMATEX& f = File.SoundData().Format;
  const std::optional<TDecodedFormat>& decoded = File.SampleLayout().Decoded;
  // A decoded file shows its own width (or encoding) and says what it is.
  out << "Channels: " << f.nChannels << "\n"
      << "Hz: " << f.nSamplesPerSec << "\n"
      << "Bytes/Sec: " << f.nAvgBytesPerSec << "\n"
      << "Block Align: " << f.nBlockAlign << "\n"
      << "Bits: "
      << (decoded ? decoded->WidthText().toStdString() : std::to_string(f.wBitsPerSample)) << "\n"
      << "Samples: " << File.SoundData().SamplesPerChannel << "\n";
  if (decoded)
    out << "Format: " << decoded->Summary().toStdString() << "\n";
}

void CheckAnalysable(const TSoundFile& File)
{
  const TSoundData& data = File.SoundData();
  // The file's fault, not the offset's.
  if (data.SamplesPerChannel == 0)
    throw EWaveFileError(QStringLiteral("%1 holds no samples").arg(File.FileName()).toStdString());
  // From the layout, so that a file whose headers alone were read says the
  // same as one loaded in full.
  if (!File.SampleLayout().Unpacked())
    throw EWaveFileError(QStringLiteral("%1: %2-bit samples cannot be analysed")
                             .arg(File.FileName())
                             .arg(data.Format.wBitsPerSample)
                             .toStdString());
}

void FileSpectrum(TAnalysis& Analysis, const TSoundData& Data, std::int64_t Start, int Size,
                  TWindowKind Window, TSpectrumFrame& Frame)
{
  const WAVEFORMATEX& f = Data.Format;
  TFrameFormat format;
  format.SampleRate = f.nSamplesPerSec;
  format.Size = Size;
  format.Bits = f.wBitsPerSample;
  format.Channels = f.nChannels;
  format.Window = Window;
  // The stretch through the window, then the transform of real samples,
  // bins 0 .. Size/2.
  std::vector<double> samples(static_cast<std::size_t>(std::max(Size, 0)));
  FillStretch(Data, Start, Size, samples.data());
  // Unsigned samples centred on silence, as TAnalysis::Analyze centres them;
  // the DC read-out gets their offset back.
  const double silent = SilentLevel(format.Bits);
  double removed = 0;
  if (silent != 0) {
    for (double& s : samples)
      s -= silent;
    removed = silent * Size;
  }
  if (Window != TWindowKind::Rectangular) {
    const auto window = WindowTable(Window, Size);
    double windowSum = 0;
    for (int i = 0; i < Size; ++i) {
      samples[std::size_t(i)] *= (*window)[std::size_t(i)];
      windowSum += (*window)[std::size_t(i)];
    }
    removed = silent * windowSum;
  }
  std::vector<double> re(samples.size() / 2 + 1), im(re.size());
  TRealFourier(Size).Forward(samples.data(), re.data(), im.data());
  Analysis.ComputeSpectrum(re.data(), im.data(), format, Frame, removed);
}

void StreamedFileSpectrum(TAnalysis& Analysis, const TSoundFile& File, std::int64_t Start,
                          int Size, TWindowKind Window, TSpectrumFrame& Frame)
{
  // A file of just the stretch, at its own sample 0.
  TSoundData stretch;
  stretch.Format = File.SoundData().Format;
  const std::int64_t samples = File.SoundData().SamplesPerChannel;
  const std::int64_t count =
      Start >= 0 && Start < samples ? std::min<std::int64_t>(Size, samples - Start) : 0;
  stretch.SamplesPerChannel = std::int32_t(count);
  if (count > 0) {
    stretch.Channels[0].resize(qsizetype(count));
    TSampleReader(File).Read(Start, count, stretch.Channels[0].data(), nullptr);
  }
  FileSpectrum(Analysis, stretch, 0, Size, Window, Frame);
}

void WriteSpectrum(const TSpectrumFrame& Frame, std::ostream& out)
{
  // The shortest text that reads back as the same double (ShortestText's),
  // written straight into one buffer: 16383 rows at the largest size.
  std::string text =
      "# dc_offset=" + ShortestText(Frame.DCOffset).toStdString() + "\nfrequency_hz,level_db\n";
  text.reserve(text.size() + Frame.X.size() * 48);
  char row[64];
  for (std::size_t k = 0; k < Frame.X.size(); ++k) {
    char* at = std::to_chars(row, row + 24, Frame.X[k]).ptr;
    *at++ = ',';
    at = std::to_chars(at, at + 24, Frame.Y[k]).ptr;
    *at++ = '\n';
    text.append(row, at);
  }
  out << text;
}

} // namespace duv
