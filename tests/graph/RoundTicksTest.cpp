// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/RoundTicks.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace duv;

namespace {
// 6 pixels a character and 13 a line.
struct FixedMeasure : TTextMeasure
{
  int Width(const QString& Text) const override { return 6 * int(Text.size()); }
  int Height() const override { return 13; }
};

QString Labels(const std::vector<TAxisTick>& Ticks)
{
  QStringList out;
  for (const TAxisTick& t : Ticks)
    if (t.Labelled)
      out << t.Label;
  return out.join(' ');
}
} // namespace

// Guards round ticks, span by span: 1-2-5 steps that leave room between the
// labels, thousands as "k", true minus signs, decimals only as the step needs
// them, a label scale (samples shown in seconds), 2 and 5 between the decades
// of a log axis, decibel steps, and the unit at the end in place of the
// labels it would cover.
TEST(RoundTicks, SpanToTicks)
{
  struct Case
  {
    double Min, Max;
    bool Log;
    int Pixels;
    bool Vertical;
    double Multiplier;
    bool Decibels;
    const char* Unit;
    const char* Labels;
  };
  const Case cases[] = {
      {0, 22050, false, 450, false, 1, false, "Hz", "0 2k 4k 6k 8k 10k 12k 14k 16k 18k 20k Hz"},
      {-22, 14, false, 137, true, 1, false, "dB", "−20 −10 0 10 dB"},
      {20, -60, false, 137, true, 1, false, "", "20 0 −20 −40 −60"},
      {0, 255, false, 450, false, 1, false, "samples",
       "0 20 40 60 80 100 120 140 160 180 200 220 samples"},
      {0, 441000, false, 450, false, 1 / 44100.0, false, "s", "0 1 2 3 4 5 6 7 8 9 s"},
      {0, 2.3, false, 450, false, 1, false, "", "0.0 0.2 0.4 0.6 0.8 1.0 1.2 1.4 1.6 1.8 2.0 2.2"},
      {20, 20000, true, 450, false, 1, false, "Hz", "20 50 100 200 500 1k 2k 5k 10k Hz"},
      {20, 20000, true, 1800, false, 1, false, "",
       "20 30 40 50 60 70 80 90 100 200 300 400 500 600 700 800 900 1k 2k 3k 4k 5k 6k 7k 8k 9k 10k "
       "20k"},
      {-96, 0, false, 300, true, 1, true, "dB", "−96 −84 −72 −60 −48 −36 −24 −12 dB"},
      {-32768, 32768, false, 64, true, 1, false, "", "−20k 0 20k"},
      {5, 5, false, 300, false, 1, false, "Hz", ""},
      {0, 100, true, 300, false, 1, false, "Hz", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Labels);
    TTickAxis a;
    a.Min = c.Min;
    a.Max = c.Max;
    a.Log = c.Log;
    a.Pixels = c.Pixels;
    a.Vertical = c.Vertical;
    a.Multiplier = c.Multiplier;
    a.Decibels = c.Decibels;
    a.Unit = QString::fromUtf8(c.Unit);
    const std::vector<TAxisTick> ticks = RoundAxisTicks(a, FixedMeasure());
    EXPECT_EQ(Labels(ticks).toStdString(), c.Labels);
    for (std::size_t i = 1; i < ticks.size(); ++i)
      EXPECT_LE(ticks[i - 1].Pixel, ticks[i].Pixel);
  }

  // Where they stand: 2k of 0 .. 22050 over 450 pixels, no grid line on the
  // frame at 0, and the unit at the end; on the log axis the digits between
  // the decades draw dotted lines.
  TTickAxis hz;
  hz.Max = 22050;
  hz.Pixels = 450;
  hz.Unit = "Hz";
  const std::vector<TAxisTick> t = RoundAxisTicks(hz, FixedMeasure());
  EXPECT_EQ(t[1].Pixel, 41);
  EXPECT_EQ(t[1].Value, 2000);
  EXPECT_FALSE(t[0].Grid);
  EXPECT_TRUE(t[1].Grid);
  EXPECT_TRUE(t.back().Unit);
  EXPECT_EQ(t.back().Pixel, 450);
  hz.Min = 20;
  hz.Max = 20000;
  hz.Log = true;
  int minor = 0;
  for (const TAxisTick& k : RoundAxisTicks(hz, FixedMeasure()))
    minor += k.Grid && !k.Major;
  EXPECT_EQ(minor, 7 + 8 + 8); // 30 .. 90, 200 .. 900, 2k .. 9k
}

// Guards time axes past a minute: clock steps (10 s, 5 min, 30 min)
// and m:ss or h:mm:ss labels without the "s", a file's samples read in
// seconds, while an axis below a minute keeps its seconds and unit.
TEST(RoundTicks, ClockAxis)
{
  struct Case
  {
    double Min, Max;
    int Pixels;
    double Multiplier;
    const char* Labels;
  };
  const Case cases[] = {
      {0, 45, 450, 1, "0 2 4 6 8 10 12 14 16 18 20 22 24 26 28 30 32 34 36 38 40 42 s"},
      {0, 90, 450, 1, "0:00 0:10 0:20 0:30 0:40 0:50 1:00 1:10 1:20 1:30"},
      {0, 3000, 450, 1, "0:00 5:00 10:00 15:00 20:00 25:00 30:00 35:00 40:00 45:00 50:00"},
      {0, 3000 * 44100.0, 450, 1 / 44100.0,
       "0:00 5:00 10:00 15:00 20:00 25:00 30:00 35:00 40:00 45:00 50:00"},
      {0, 3 * 3600, 450, 1, "0:00:00 0:30:00 1:00:00 1:30:00 2:00:00 2:30:00 3:00:00"},
      {100, 101, 450, 1, "1:40.0 1:40.2 1:40.4 1:40.6 1:40.8 1:41.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Labels);
    TTickAxis a;
    a.Min = c.Min;
    a.Max = c.Max;
    a.Pixels = c.Pixels;
    a.Multiplier = c.Multiplier;
    a.Unit = QStringLiteral("s");
    a.Clock = true;
    EXPECT_EQ(Labels(RoundAxisTicks(a, FixedMeasure())).toStdString(), c.Labels);
  }
}
