// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/LevelTiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace duv {

int BandCount(int Size)
{
  return std::max(1, Size / 2 / BandWidth);
}

TBinSpan BandSpan(int Size, int Band)
{
  const int first = Band * BandWidth;
  const int end = Band == BandCount(Size) - 1 ? Size / 2 + 1 : first + BandWidth;
  return {first, end - first};
}

int BandOf(int Size, int Bin)
{
  return std::clamp(Bin / BandWidth, 0, BandCount(Size) - 1);
}

std::int64_t LevelColumns(std::int64_t Samples, int Level)
{
  const std::int64_t w = std::int64_t(1) << Level;
  return Samples > 0 ? (Samples + w - 1) / w : 0;
}

int TopLevel(std::int64_t Samples)
{
  int level = 0;
  while (level < 62 && (std::int64_t(1) << level) < Samples)
    ++level;
  return level;
}

TLevelChoice ChooseLevels(const TLevelView& View, int BaseSize, double Rate)
{
  constexpr double RowsPerBin = 1.5;
  TLevelChoice c{BaseSize, 0};
  // Columns no wider than a pixel: two at most under one.
  const double perPixel = View.Width > 0 ? (View.To - View.From) / View.Width : 0;
  if (perPixel >= 2)
    c.Level = std::min(int(std::floor(std::log2(perPixel))), 62);
  // Bins no taller than a row; on a logarithmic axis the top row is the
  // tallest in hertz, and the rows below it get what they can.
  if (View.Height > 0 && View.FHigh > View.FLow && Rate > 0) {
    const double rowHz =
        View.Log && View.FLow > 0
            ? View.FHigh * (1 - std::pow(View.FLow / View.FHigh, 1.0 / View.Height))
            : (View.FHigh - View.FLow) / View.Height;
    while (c.Size < LargestViewSize && Rate / c.Size > RowsPerBin * rowHz)
      c.Size *= 2;
  }
  // A larger transform's frames are long: columns finer than a quarter of
  // one would show the same frame again and again at the cost of a
  // transform each, so a zoom into frequency and time stays quick.
  if (c.Size > BaseSize)
    c.Level = std::max(c.Level, int(std::log2(c.Size)) - 2);
  return c;
}

std::int64_t TLevelSource::Samples() const
{
  // A width whose samples were not unpacked leaves the arrays short.
  return std::min<std::int64_t>(Data.SamplesPerChannel, Data.Channels[0].size());
}

namespace {
TChannelChoice channelOf(const TSoundData& d)
{
  return d.Format.nChannels >= 2 && d.Channels[1].size() >= d.Channels[0].size()
             ? TChannelChoice::Mix
             : TChannelChoice::Left;
}
} // namespace

TLevelComputer::TLevelComputer(const TLevelSource& Source, int Size)
    : FSource(Source), FSize(Size), FHop(SpectrogramHop(Source.Window, Size)),
      FWindow(WindowTable(Source.Window, Size)),
      FOffset(SpectrogramLevelOffset(*FWindow, Source.Bits())), FFT(Size),
      FFeed(SoundDataReader(Source.Data), Source.Samples(), channelOf(Source.Data),
            SilentLevel(Source.Bits()), Size)
{
  // The source keeps the arrays alive as long as this computer.
  const TChannelArray& c = Source.Data.Channels;
  FFeed.SetArrays(
      {c[0].constData(), c[0].size(), c[1].isEmpty() ? nullptr : c[1].constData(), c[1].size()});
}

TLevelComputer::~TLevelComputer() = default;

int TLevelComputer::Hop(int Level) const
{
  return Level < 30 ? int(std::min<std::int64_t>(std::int64_t(1) << Level, FHop)) : FHop;
}

bool TLevelComputer::SingleFrame(int Level) const
{
  return Level < 30 && (std::int64_t(1) << Level) <= FHop;
}

int TLevelComputer::Power(int Level, std::int64_t Column, bool Sampled, double* Power)
{
  std::fill(Power, Power + Bins(), 0.0);
  const double* w = FSource.Window == TWindowKind::Rectangular ? nullptr : FWindow->data();
  const std::int64_t width = std::int64_t(1) << Level;
  if (SingleFrame(Level)) {
    // Frames a column apart, each centred on the column it stands for.
    FFT.AddPower(FFeed.Frame(Column * width - (FSize - width) / 2, FSize), w, Power);
    return 1;
  }
  if (Sampled) {
    FFT.AddPower(FFeed.Frame(Column * width + width / 2 - FSize / 2, 0), w, Power);
    return 1;
  }
  // Frames a hop apart whose middles fall in the column, as the command
  // line's picture tiles them; none beyond the file's last sample.
  const std::int64_t hop = FHop;
  const std::int64_t first = Column * width / hop;
  const std::int64_t end = std::min(first + width / hop, (FSource.Samples() + hop - 1) / hop);
  for (std::int64_t j = first; j < end; ++j)
    FFT.AddPower(FFeed.Frame(j * hop - (FSize - hop) / 2, (end - j) * hop), w, Power);
  return int(std::max<std::int64_t>(end - first, 0));
}

float TLevelComputer::Level(double PowerSum, int Frames) const
{
  if (Frames <= 0 || !(PowerSum > 0))
    return -std::numeric_limits<float>::infinity();
  return float(10 * std::log10(PowerSum / Frames) + FOffset);
}

void TLevelComputer::Levels(const double* PowerSums, int Count, int Frames, float* Out) const
{
  constexpr float dBPerOctave = 3.0102999566f; // 10 log10(2)
  const float silence = -std::numeric_limits<float>::infinity();
  if (Frames <= 0) {
    std::fill(Out, Out + Count, silence);
    return;
  }
  const auto add = float(FOffset - 10 * std::log10(double(Frames)));
  for (int k = 0; k < Count; ++k) {
    const auto p = float(PowerSums[k]);
    Out[k] = p > 0 ? dBPerOctave * std::log2(p) + add : silence;
  }
}

} // namespace duv
