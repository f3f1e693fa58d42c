// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/FileSpectrogram.h"

#include "WavWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

using namespace duv;
using namespace duv::test;

namespace {

// A 16-bit file of `samples` frames; sample(i, channel) gives each value.
QString makeFile(const char* name, int rate, int samples, int channels,
                 const std::function<double(int, int)>& sample)
{
  QByteArray data;
  data.reserve(qsizetype(samples) * channels * 2);
  for (int i = 0; i < samples; ++i)
    for (int c = 0; c < channels; ++c)
      data += le16(int(std::lround(std::clamp(sample(i, c), -32768.0, 32767.0))));
  return writeTemp(name, WavBuilder().fmt(channels, rate, 16).chunk("data", data).finish());
}

double sine(double hz, int rate, int i, double amplitude = 32767)
{
  return amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
}

TFileSpectrogram compute(const QString& path, TFileSpectrogramSettings s)
{
  TSoundFile f;
  f.LoadHeader(path);
  return ComputeFileSpectrogram(f, s);
}

int brightestRow(const TFileSpectrogram& g, int column)
{
  int best = 0;
  for (int r = 1; r < g.Height; ++r)
    if (g.Level(column, r) > g.Level(column, best))
      best = r;
  return best;
}

} // namespace

// Guards the frequency and level scales: a full-scale 1 kHz sine is
// brightest at the row of 1 kHz in every column and reads 0 dB there,
// whether columns average many frames or get one each, with either window
// and at a height that is not one row per bin.
TEST(FileSpectrogram, ToneAtItsRowAtFullScale)
{
  const int rate = 8000;
  const QString path = makeFile("tone.wav", rate, 4 * rate, 1, [&](int i, int) {
    return sine(1000, rate, i);
  });
  for (const auto& [width, height, size, window] :
       {std::tuple{40, 129, 256, TWindowKind::Hann}, {40, 129, 256, TWindowKind::Rectangular},
        {400, 129, 256, TWindowKind::Hann}, {40, 50, 256, TWindowKind::Hann},
        {40, 513, 1024, TWindowKind::Hann}}) {
    TFileSpectrogramSettings s;
    s.Width = width, s.Height = height, s.Size = size, s.Window = window;
    const TFileSpectrogram g = compute(path, s);
    ASSERT_EQ(g.Levels.size(), std::size_t(width * height));
    const double row1k = 1000.0 / (rate / 2.0) * (height - 1);
    for (int c = 0; c < width; ++c) {
      ASSERT_NEAR(brightestRow(g, c), row1k, 1.0) << width << "x" << height << " @" << c;
      // Half a bin off its row (height 50) the Hann window loses 1.4 dB. The
      // frames of the end columns reach into the silence around the file.
      if (c > 0 && c < width - 1) {
        ASSERT_NEAR(g.Level(c, int(std::lround(row1k))), 0.0, height == 50 ? 1.5 : 0.05)
            << width << "x" << height << " @" << c;
      }
    }
    // 800 samples a column: the frames a hop apart whose middles fall in it.
    const int hop = SpectrogramHop(window, size);
    EXPECT_EQ(g.FramesPerColumn, width == 400 ? 1 : (800 + hop - 1) / hop);
    EXPECT_EQ(g.Bits, 16);
    EXPECT_DOUBLE_EQ(g.Seconds, 4.0);
  }
}

// Guards the time axis: a linear sweep from 100 Hz to 3 kHz rises column by
// column (its brightest row never falls), and a tone that starts halfway is
// absent from every column wholly before its start and present in every one
// after.
TEST(FileSpectrogram, TimeRunsAcross)
{
  const int rate = 8000, seconds = 10, n = rate * seconds;
  const QString sweep = makeFile("sweep.wav", rate, n, 1, [&](int i, int) {
    const double t = double(i) / rate;
    return 20000 * std::sin(2 * std::numbers::pi * (100 * t + (2900.0 / seconds) * t * t / 2));
  });
  TFileSpectrogramSettings s;
  s.Width = 100, s.Height = 257, s.Size = 512;
  TFileSpectrogram g = compute(sweep, s);
  int previous = 0;
  for (int c = 0; c < s.Width; ++c) {
    const int row = brightestRow(g, c);
    EXPECT_GE(row, previous) << "column " << c;
    previous = row;
  }
  EXPECT_NEAR(brightestRow(g, 0), 100.0 / 4000 * 256, 2);
  EXPECT_NEAR(brightestRow(g, s.Width - 1), 3000.0 / 4000 * 256, 3);

  const QString late = makeFile("late.wav", rate, n, 1, [&](int i, int) {
    return i < n / 2 ? 0.0 : sine(1500, rate, i);
  });
  g = compute(late, s);
  const int row = int(std::lround(1500.0 / 4000 * 256));
  for (int c = 0; c < s.Width; ++c) {
    if (c < s.Width / 2 - 1) {
      EXPECT_EQ(g.Level(c, row), -INFINITY) << c;
    } else if (c >= s.Width / 2) {
      EXPECT_GT(g.Level(c, row), -3) << c;
    }
  }
}

// Guards the top of the frequency axis: a tone at half the rate (samples
// alternating in sign) lies in the Nyquist bin alone, which is the top row,
// whether each row is a bin or several.
TEST(FileSpectrogram, NyquistBinIsTheTopRow)
{
  const QString path =
      makeFile("nyquist.wav", 8000, 8000, 1, [](int i, int) { return i % 2 ? -16384.0 : 16384.0; });
  for (const int height : {129, 40}) {
    TFileSpectrogramSettings s;
    s.Width = 10, s.Height = height, s.Size = 256;
    const TFileSpectrogram g = compute(path, s);
    for (int c = 0; c < s.Width; ++c) {
      EXPECT_EQ(brightestRow(g, c), height - 1) << height << " rows, column " << c;
      EXPECT_GT(g.Level(c, height - 1), -1) << height << " rows, column " << c;
    }
  }
}

// Guards the hop between frames against one at which a window's copies do
// not add up evenly, which would weigh some samples less than others or
// leave them out.
TEST(FileSpectrogram, FramesAHopApartWeighEverySampleAlike)
{
  for (TWindowKind kind : AllWindows) {
    for (int n : {256, 1024}) {
      const std::vector<double> w = *WindowCoefficients(kind, n);
      const int hop = SpectrogramHop(kind, n);
      ASSERT_GE(hop, n / 8) << WindowName(kind).toStdString();
      double first = 0;
      for (int i = 0; i < hop; ++i) {
        double sum = 0;
        for (int j = i; j < n; j += hop)
          sum += w[std::size_t(j)];
        if (i == 0)
          first = sum;
        ASSERT_NEAR(sum, first, 1e-9 * first) << WindowName(kind).toStdString() << " " << n;
      }
    }
  }
  EXPECT_EQ(SpectrogramHop(TWindowKind::Rectangular, 1024), 1024);
  EXPECT_EQ(SpectrogramHop(TWindowKind::Hann, 1024), 512);
  EXPECT_EQ(SpectrogramHop(TWindowKind::Hamming, 1024), 512);
  EXPECT_EQ(SpectrogramHop(TWindowKind::Blackman, 1024), 256);
}

// Guards against sound falling between frames or columns: a single click
// anywhere in the file shows at its place (a frame that holds it may belong
// to the next column), as no frame hop leaves a sample out, and nowhere
// else. Rectangular frames do not overlap: the click shows only in the
// column of its frame's centre.
TEST(FileSpectrogram, NoSoundFallsBetweenColumns)
{
  const int rate = 8000, n = 3 * rate + 77;
  for (int click : {0, 255, 256, 511, 600, 4000, 12345, n - 1}) {
    const QString path = makeFile("click.wav", rate, n, 1, [&](int i, int) {
      return i == click ? 30000.0 : 0.0;
    });
    for (TWindowKind w : AllWindows) {
      TFileSpectrogramSettings s;
      s.Width = 37, s.Height = 65, s.Size = 256, s.Window = w;
      const TFileSpectrogram g = compute(path, s);
      const bool exact = w == TWindowKind::Rectangular;
      const int column = std::min(
          int(std::int64_t(exact ? click / 256 * 256 + 128 : click) * s.Width / n), s.Width - 1);
      float strongest = -INFINITY;
      for (int c = 0; c < s.Width; ++c) {
        if (std::abs(c - column) <= (exact ? 0 : 1))
          strongest = std::max(strongest, g.Level(c, 10));
        else // at most the rounding of a transform shared with the click's frame
          EXPECT_LT(g.Level(c, 10), -150) << click << " @" << c;
      }
      // A click of 30000 in one frame of five reads about -44 dB; a frame's
      // edge may weigh it down, never to nothing.
      EXPECT_GT(strongest, -60) << click;
    }
  }
}

// Guards silence and the channels: a silent file has no level anywhere,
// 8-bit silence (128) included; left, right and mix show each channel's tone
// and both; and two threads give what one gives.
TEST(FileSpectrogram, SilenceChannelsAndThreads)
{
  const int rate = 8000;
  TFileSpectrogramSettings s;
  s.Width = 20, s.Height = 129, s.Size = 256;
  const TFileSpectrogram quiet = compute(makeFile("quiet.wav", rate, rate, 2, [](int, int) {
    return 0.0;
  }), s);
  for (float v : quiet.Levels)
    ASSERT_EQ(v, -INFINITY);
  const TFileSpectrogram quiet8 = compute(
      writeTemp("quiet8.wav",
                WavBuilder().fmt(1, rate, 8).chunk("data", QByteArray(rate, '\x80')).finish()),
      s);
  EXPECT_EQ(quiet8.Bits, 8);
  for (float v : quiet8.Levels)
    ASSERT_EQ(v, -INFINITY);

  const QString stereo = makeFile("stereo.wav", rate, 2 * rate, 2, [&](int i, int c) {
    return sine(c == 0 ? 500 : 2500, rate, i, 16000);
  });
  const int row500 = 16, row2500 = 80;
  s.Channel = TChannelChoice::Left;
  TFileSpectrogram g = compute(stereo, s);
  EXPECT_EQ(brightestRow(g, 5), row500);
  EXPECT_LT(g.Level(5, row2500), -80);
  s.Channel = TChannelChoice::Right;
  g = compute(stereo, s);
  EXPECT_EQ(brightestRow(g, 5), row2500);
  s.Channel = TChannelChoice::Mix;
  g = compute(stereo, s);
  EXPECT_NEAR(g.Level(5, row500), 20 * std::log10(8000.0 / 32768), 0.1); // half of each
  EXPECT_NEAR(g.Level(5, row2500), 20 * std::log10(8000.0 / 32768), 0.1);

  s.Threads = 1;
  const TFileSpectrogram one = compute(stereo, s);
  s.Threads = 2;
  const TFileSpectrogram two = compute(stereo, s);
  EXPECT_EQ(one.ThreadsUsed, 1);
  EXPECT_EQ(two.ThreadsUsed, 2);
  for (std::size_t i = 0; i < one.Levels.size(); ++i)
    if (one.Levels[i] > -200) {
      ASSERT_NEAR(two.Levels[i], one.Levels[i], 1e-3) << i;
    }

  const QString mono = makeFile("mono.wav", rate, rate, 1, [](int, int) { return 0.0; });
  s.Channel = TChannelChoice::Right;
  EXPECT_THROW(compute(mono, s), std::invalid_argument);
  s.Channel = TChannelChoice::Mix;
  s.Size = 300;
  EXPECT_THROW(compute(mono, s), std::invalid_argument);
}
