// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-file view offscreen: tones read back through its read-out and
// its pixels, zoomed in time and in frequency, on both frequency scales;
// its mouse and keys; and its work stopped midway.
#include "spectrogram/FileSpectroView.h"

#include "spectrogram/Colorbar.h"
#include "wavefile/WavWriter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>

using namespace duv;
using namespace duv::test;

namespace {

// 8 s at 8000 Hz: 1001 Hz for 4 s, then 2.5 kHz, both at full scale. (A
// tone of 1 kHz would repeat every eight samples, its rounding too, and
// leave the other bins empty.)
const TSoundData& toneFile()
{
  static TSoundFile file;
  if (file.FileName().isEmpty()) {
    QByteArray data;
    for (int i = 0; i < 8 * 8000; ++i)
      data += le16(int(std::lround(
          32767 * std::sin(2 * std::numbers::pi * (i < 4 * 8000 ? 1001 : 2500) * i / 8000))));
    file.SetFileName(
        writeTemp("tones.wav", WavBuilder().fmt(1, 8000, 16).chunk("data", data).finish()));
  }
  return file.SoundData();
}

QRgb colour(int band)
{
  const TColor c = DepthColorTable(TColorCount::dc32)[std::size_t(band)];
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}
const QRgb Loudest = colour(1), Quietest = colour(32);

// The point of the plot at a time and a frequency.
QPoint pointAt(const TFileSpectroView& v, double seconds, double hz)
{
  const QRect p = v.PlotRect();
  const TAxisRange t = v.TimeView(), f = v.FrequencyView();
  const double across = (seconds - t.Min) / (t.Max - t.Min);
  const double up = v.LogFrequency() ? std::log(hz / f.Min) / std::log(f.Max / f.Min)
                                     : (hz - f.Min) / (f.Max - f.Min);
  return {p.left() + int(across * p.width()), p.top() + int((1 - up) * p.height())};
}

struct Shown
{
  double Level;
  QRgb Pixel;
};

// The view with all its work done: the level the read-out gives and the
// pixel drawn at a time and a frequency.
Shown shown(TFileSpectroView& v, double seconds, double hz)
{
  const QImage image = v.RenderPicture(QSize(), true);
  const QPoint at = pointAt(v, seconds, hz);
  TFileSpectroView::TReading r;
  EXPECT_TRUE(v.ReadAt(at, r));
  EXPECT_NEAR(r.Time, seconds, 2 * (v.TimeView().Max - v.TimeView().Min) / v.PlotRect().width());
  EXPECT_NEAR(r.Frequency, hz, hz * 0.03);
  return {r.Level, image.pixel(at)};
}

void wheel(QWidget& w, QPoint at, int delta, Qt::KeyboardModifiers mods = {})
{
  QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

} // namespace

// Guards what the view shows: each tone at its time and frequency in the
// loudest colour, reading 0 dB, and the other in the quietest; zoomed into
// time the columns are computed afresh at a finer level, zoomed into
// frequency with a larger transform, whose narrow peak the stretched
// picture of the small one would not show; and the logarithmic axis puts
// the tones where its labels say.
TEST(FileSpectroView, TonesReadBackAtTwoZoomsOnBothAxes)
{
  TFileSpectroView v;
  v.resize(640, 420);
  v.SetFile(toneFile());
  const int pass = v.Cache().PassLevel();
  for (auto [t, hz, loud] : {std::tuple{2.0, 1001.0, true},
                             {2.0, 2500.0, false},
                             {6.0, 2500.0, true},
                             {6.0, 1001.0, false}}) {
    const Shown s = shown(v, t, hz);
    if (loud) {
      EXPECT_NEAR(s.Level, 0, 0.5) << t << " s " << hz << " Hz";
      EXPECT_EQ(s.Pixel, Loudest) << t << " s " << hz << " Hz";
    } else {
      EXPECT_LT(s.Level, -80) << t << " s " << hz << " Hz";
      EXPECT_EQ(s.Pixel, Quietest) << t << " s " << hz << " Hz";
    }
  }

  // Time: 3 .. 5 s, 26 samples a pixel, finer than the pass's columns.
  v.SetTimeView({3, 5});
  EXPECT_LT(v.Cache().Choice().Level, pass);
  EXPECT_EQ(shown(v, 3.5, 1001).Pixel, Loudest);
  EXPECT_EQ(shown(v, 4.5, 1001).Pixel, Quietest);
  EXPECT_NEAR(shown(v, 4.5, 2500).Level, 0, 0.5);
  const TLevelChoice fine = v.Cache().Choice();
  const TLevelTile* tile =
      v.Cache().Tile({1024, fine.Level, (36000 >> fine.Level) / TileColumns, 0});
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->Quality[std::size_t((36000 >> fine.Level) % TileColumns)], TLevelQuality::Full);

  // Frequency: 900 .. 1100 Hz; 40 Hz off the tone reads near -50 dB in a
  // transform of 1024 points, far below that in the larger one.
  v.SetTimeView(v.FullTime());
  const Shown off = shown(v, 2, 1041);
  v.SetFrequencyView({900, 1100});
  EXPECT_GE(v.Cache().Choice().Size, 8192);
  EXPECT_NEAR(shown(v, 2, 1001).Level, 0, 0.5);
  EXPECT_LT(shown(v, 2, 1041).Level, off.Level - 30);
  EXPECT_EQ(shown(v, 2, 1041).Pixel, Quietest);

  // Logarithmic frequency, the whole of it.
  v.SetLogFrequency(true);
  v.ResetNavigation();
  EXPECT_GT(v.FrequencyView().Min, 0);
  EXPECT_EQ(shown(v, 2, 1001).Pixel, Loudest);
  EXPECT_EQ(shown(v, 6, 2500).Pixel, Loudest);
  EXPECT_EQ(shown(v, 6, 1001).Pixel, Quietest);

  // A picture at another size shows the same.
  const QImage big = v.RenderPicture(QSize(900, 500), true);
  EXPECT_EQ(big.size(), QSize(900, 500));
  int loud = 0;
  for (int y = 0; y < big.height(); ++y)
    for (int x = 0; x < big.width(); ++x)
      loud += big.pixel(x, y) == Loudest;
  EXPECT_GT(loud, 400);
}

// Guards the mouse and keys: the wheel zooms time about the pointer and
// Ctrl with it frequency, a click names its time, Space asks to play from
// the pointer's time (or from the stretch off the plot), and the stretch
// is marked where it lies.
TEST(FileSpectroView, MouseAndKeys)
{
  TFileSpectroView v;
  v.resize(640, 420);
  v.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
  v.SetFile(toneFile());
  const QPoint at = pointAt(v, 2, 1000);
  wheel(v, at, 120);
  EXPECT_LT(v.TimeView().Max - v.TimeView().Min, 8);
  EXPECT_NEAR(v.FrequencyView().Max, 4000, 1e-9);
  TFileSpectroView::TReading r;
  ASSERT_TRUE(v.ReadAt(at, r));
  EXPECT_NEAR(r.Time, 2, 0.05); // what was under the pointer stays there
  wheel(v, at, 120, Qt::ControlModifier);
  EXPECT_LT(v.FrequencyView().Max - v.FrequencyView().Min, 4000);
  QTest::mouseDClick(&v, Qt::LeftButton, {}, at);
  EXPECT_EQ(v.TimeView().Max, 8);

  QSignalSpy clicks(&v, &TFileSpectroView::OnTimeClick);
  QSignalSpy plays(&v, &TFileSpectroView::OnPlayKey);
  const QPoint at5 = pointAt(v, 5, 1000);
  QTest::mouseClick(&v, Qt::LeftButton, {}, at5);
  ASSERT_EQ(clicks.size(), 1);
  EXPECT_NEAR(clicks[0][0].toDouble(), 5, 0.03);
  QTest::mouseMove(&v, pointAt(v, 3, 1000));
  QTest::keyClick(&v, Qt::Key_Space);
  QTest::mouseMove(&v, QPoint(2, 2)); // the margin
  QTest::keyClick(&v, Qt::Key_Space);
  ASSERT_EQ(plays.size(), 2);
  EXPECT_NEAR(plays[0][0].toDouble(), 3, 0.03);
  EXPECT_LT(plays[1][0].toDouble(), 0);

  v.SetStretch(5, 0.5);
  const QImage marked = v.RenderPicture();
  v.SetStretch(0, -1);
  const QImage plain = v.RenderPicture();
  for (double t : {4.9, 5.25, 5.6})
    EXPECT_EQ(marked.pixel(pointAt(v, t, 3000)) != plain.pixel(pointAt(v, t, 3000)), t == 5.25)
        << t;
}

// Guards the end of the work: a view told of no file, or closed, with a
// long file's levels under way stops them at once.
TEST(FileSpectroView, WorkStopsMidway)
{
  TSoundData hour;
  hour.Format.nChannels = 1;
  hour.Format.nSamplesPerSec = 44100;
  hour.Format.wBitsPerSample = 16;
  hour.SamplesPerChannel = 10 * 60 * 44100;
  hour.Channels[0].resize(hour.SamplesPerChannel);
  const auto start = std::chrono::steady_clock::now();
  {
    TFileSpectroView v;
    v.resize(640, 420);
    v.SetFile(hour);
    EXPECT_FALSE(v.Cache().WaitIdle(10));
    v.SetFile(TSoundData());
    EXPECT_TRUE(v.Cache().WaitIdle(2000));
    EXPECT_FALSE(v.Cache().HasSource());
    v.SetFile(hour);
    EXPECT_FALSE(v.Cache().Idle());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
