// SPDX-License-Identifier: GPL-3.0-or-later
// The frame path driven with a handful of widgets and no window: rate
// figures, axis set-up, the oscilloscope traces, the spectrum, the DC
// read-out and the spectrogram row of each frame.
#include "app/pages/SAGlobalView.h"
#include "app/pages/SARealTime.h"
#include "WindowDriver.h"
#include "audio/Waveread.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "graph/Graphbox.h"
#include "app/pages/SAGraphs.h"
#include "spectrogram/Spectrogram.h"

#include <QCheckBox>
#include <QComboBox>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using namespace duv;
using duv::test::QuietReader;

namespace {

// Keeps the reader's messages (no input device here, say) out of modal boxes.
struct Rig
{
  QuietReader quiet;
  TGraphBox left, right, spectrum;
  TSpectroGram spectro;
  QCheckBox oscope, spectrumChk;
  TRadioGroup channel{"Channel", {"Left", "Right"}, 2};
  TReadOut frames{"Frames:"}, bandwidth{"Bandwidth:"}, res{"Resolution:"}, fps{"Frames/Sec:"},
      dc{"DC Offset:"}, peak{"Peak:"};
  QComboBox sizes;
  TRealSpin time;
  TWaveReader reader; // no list linked: its format is the one set here
  TSpectrumView view{{spectrum, spectro, dc, peak, reader}};
  TSAGraphs graphs{{left, right, spectrum}};
  TSARealTime rt{view, graphs,
                 {left, right, oscope, spectrumChk, channel, frames, bandwidth, res, fps, sizes,
                  time, reader}};

  Rig(TWaveTypes type = wf11Khz_Mono_8Bit, int sizeIndex = 0)
  {
    for (int n : BufferSizes)
      sizes.addItem(QString::number(n));
    sizes.setCurrentIndex(sizeIndex);
    time.SetUseLimit(true);
    time.SetMinValue(1);
    time.SetMaxValue(600);
    time.SetValue(10);
    oscope.setChecked(true);
    spectrumChk.setChecked(true);
    channel.SetItemIndex(0);
    for (TGraphBox* g : {&left, &right, &spectrum})
      g->SetDefaultData(false);
    reader.SetWaveType(type);
    view.SetViewCommands(&graphs);
    rt.UpdateBufferSize();
    rt.ShowRateFigures();
  }

  void Frame(const std::vector<std::uint8_t>& bytes, int count, TWaveDataFormat f)
  {
    rt.ProcessFrame(bytes.data(), count, f);
  }
};

std::vector<std::uint8_t> Words(const std::vector<int>& v)
{
  std::vector<std::uint8_t> out(v.size() * 2);
  for (std::size_t i = 0; i < v.size(); ++i) {
    const auto w = std::int16_t(v[i]);
    std::memcpy(&out[2 * i], &w, 2);
  }
  return out;
}

// The spectrum point (X in Hz, Y in dB) with the highest level.
TDataPoint Peak(const TGraphBox& g)
{
  TDataPoint best = g.Points().front();
  for (const TDataPoint& p : g.Points())
    if (p.Y > best.Y)
      best = p;
  return best;
}

} // namespace

// Guards the rate read-outs (halves away from zero, the locale's separator)
// and the axis set-up that goes with them.
TEST(SARealTime, RateFiguresAndSetUp)
{
  struct Case
  {
    TWaveTypes type;
    int sizeIndex;
    const char *band, *res, *fps;
  };
  for (const Case& c : {Case{wf11Khz_Mono_8Bit, 0, "5513 Hz", "43.1 Hz", "43.1 FPS"},
                        Case{wf44Khz_Stereo_16Bit, 7, "22050 Hz", "1.3 Hz", "1.3 FPS"},
                        Case{wf22Khz_Mono_16Bit, 2, "11025 Hz", "21.5 Hz", "21.5 FPS"}}) {
    Rig r(c.type, c.sizeIndex);
    EXPECT_EQ(r.bandwidth.Text(), c.band);
    EXPECT_EQ(r.res.Text(), c.res);
    EXPECT_EQ(r.fps.Text(), c.fps);
    EXPECT_EQ(r.bandwidth.accessibleDescription(), c.band);
  }

  // 11025 Hz, 512 samples: the 8-bit axes, and a spectrogram of 256 columns
  // and 215 lines for 10 s (43.07 frames a second, truncated).
  Rig r(wf11Khz_Mono_8Bit, 1);
  EXPECT_EQ(r.reader.SampleCount(), 512);
  EXPECT_EQ(r.left.XAxis().Max(), 511);
  EXPECT_EQ(r.right.YAxis().Max(), 256);
  EXPECT_EQ(r.spectrum.YAxis().Min(), -60);
  EXPECT_EQ(r.spectrum.YAxis().Max(), 20);
  EXPECT_EQ(r.spectrum.YAxis().Lines(), 4);
  EXPECT_EQ(r.spectrum.XAxis().Min(), 21.533203125);
  EXPECT_EQ(r.spectrum.XAxis().Max(), 5512.5);
  EXPECT_EQ(r.spectro.ImageWidth(), 256);
  EXPECT_EQ(r.spectro.ImageHeight(), 215);
  EXPECT_EQ(r.spectro.YRange().First, 10);
  EXPECT_EQ(r.graphs.SpectrumDefaults.XRange.Max, 5512.5);

  // 16-bit: -100 .. 20 dB in 6 lines, the oscilloscope at +-32768.
  Rig w(wf44Khz_Mono_16Bit, 3);
  EXPECT_EQ(w.spectrum.YAxis().Min(), -100);
  EXPECT_EQ(w.spectrum.YAxis().Lines(), 6);
  EXPECT_EQ(w.left.YAxis().Min(), -32768);
  EXPECT_EQ(w.graphs.RawDefaults.YRange.Min, -32768);
}

// Guards the silent frames of both widths: the DC read-out shows the rest
// level (8-bit samples are analysed unsigned) and every bin sits on the floor.
TEST(SARealTime, SilentFramesReadTheirRestLevel)
{
  Rig r(wf11Khz_Mono_8Bit, 0);
  r.Frame(std::vector<std::uint8_t>(256, 128), 256, {11025, 1, 1});
  EXPECT_EQ(r.dc.Text(), "256.00");
  ASSERT_EQ(r.spectrum.Points().size(), 127u);
  for (const TDataPoint& p : r.spectrum.Points())
    ASSERT_EQ(p.Y, -48);
  for (const TDataPoint& p : r.left.Points())
    ASSERT_EQ(p.Y, 128);
  EXPECT_EQ(r.left.Points().size(), 256u);

  Rig w(wf11Khz_Mono_16Bit, 0);
  w.Frame(std::vector<std::uint8_t>(512, 0), 256, {11025, 2, 1});
  EXPECT_EQ(w.dc.Text(), "0.00");
  EXPECT_EQ(Peak(w.spectrum).Y, -96);
}

// Guards the sample conversion on the frame path at every width: a
// full-scale sine reads 0 dB at its bin, silence lies on the width's floor
// (-6 dB per bit; float at 24 bits), and the scope spans the width.
TEST(SARealTime, EveryWidthReadsFullScaleAtZeroDecibels)
{
  struct Case
  {
    TWaveTypes Type;
    double Floor, Full;
  };
  for (const Case c : {Case{wf11Khz_Mono_8Bit, -48, 127}, Case{wf48Khz_Mono_16Bit, -96, 32767},
                       Case{wf48Khz_Mono_24Bit, -144, 8388607},
                       Case{wf96Khz_Mono_Float, -144, 1.0}}) {
    const TWaveDataFormat f = WaveTypeFormat(c.Type);
    SCOPED_TRACE(SampleBits(f));
    const auto frame = [&](double amplitude) {
      std::vector<std::uint8_t> bytes(256 * std::size_t(f.BytesPerSample));
      for (int i = 0; i < 256; ++i) {
        const double x = amplitude * std::sin(2 * std::numbers::pi * 16 * i / 256);
        std::uint8_t* at = &bytes[std::size_t(i * f.BytesPerSample)];
        if (f.Float) {
          const float v = float(x);
          std::memcpy(at, &v, 4);
        } else {
          const auto v = std::int32_t(std::lround(x)) + (f.BytesPerSample == 1 ? 128 : 0);
          for (int k = 0; k < f.BytesPerSample; ++k)
            at[k] = std::uint8_t(v >> (8 * k));
        }
      }
      return bytes;
    };
    Rig r(c.Type, 0);
    r.Frame(frame(0), 256, f);
    EXPECT_EQ(Peak(r.spectrum).Y, c.Floor);
    r.Frame(frame(c.Full), 256, f);
    EXPECT_EQ(Peak(r.spectrum).X, 16 * f.SampleRate / 256.0);
    EXPECT_NEAR(Peak(r.spectrum).Y, 0, 0.1);
    EXPECT_EQ(r.left.YAxis().Max(), f.BytesPerSample == 1 ? 256 : std::ldexp(1.0, SampleBits(f) - 1));
  }
}

// Guards the stereo traces (left at even X, right at odd X, first half of
// the frame only), the transform over all frames of the chosen channel, and
// "Right" on a mono format.
TEST(SARealTime, StereoTracesAndChannelChoice)
{
  Rig r(wf44Khz_Stereo_16Bit, 1);
  // Left: 10 cycles a frame, right: 40 cycles, both at half scale.
  std::vector<int> v;
  for (int i = 0; i < 512; ++i) {
    v.push_back(int(std::lround(16384 * std::sin(2 * std::numbers::pi * 10 * i / 512))));
    v.push_back(int(std::lround(16384 * std::sin(2 * std::numbers::pi * 40 * i / 512))));
  }
  r.Frame(Words(v), 512, {44100, 2, 2});
  ASSERT_EQ(r.left.Points().size(), 256u);
  ASSERT_EQ(r.right.Points().size(), 256u);
  for (int k = 0; k < 256; ++k) {
    EXPECT_EQ(r.left.Points()[k].X, 2 * k);
    EXPECT_EQ(r.right.Points()[k].X, 2 * k + 1);
    EXPECT_EQ(r.right.Points()[k].Y, v[2 * k + 1]);
  }
  const double step = 44100.0 / 512;
  EXPECT_EQ(Peak(r.spectrum).X, 10 * step);
  EXPECT_NEAR(Peak(r.spectrum).Y, -6.02, 0.01);

  r.channel.SetItemIndex(1);
  r.Frame(Words(v), 512, {44100, 2, 2});
  EXPECT_EQ(Peak(r.spectrum).X, 40 * step);

  // A mono frame has no right channel: the mono samples are analysed.
  Rig m(wf44Khz_Mono_16Bit, 1);
  m.channel.SetItemIndex(1);
  std::vector<int> mono(v.begin(), v.begin() + 512);
  for (int i = 0; i < 512; ++i)
    mono[i] = int(std::lround(16384 * std::sin(2 * std::numbers::pi * 25 * i / 512)));
  m.Frame(Words(mono), 512, {44100, 2, 1});
  EXPECT_EQ(Peak(m.spectrum).X, 25 * step);
}

// Guards the frame counter and the two switches: with both clear only the
// counter moves; a new set-up starts the count again at the next frame.
TEST(SARealTime, CounterAndSwitches)
{
  Rig r(wf11Khz_Mono_8Bit, 0);
  std::vector<std::uint8_t> frame(256);
  for (int i = 0; i < 256; ++i)
    frame[i] = std::uint8_t(128 + 100 * std::sin(2 * std::numbers::pi * 8 * i / 256));
  r.Frame(frame, 256, {11025, 1, 1});
  r.Frame(frame, 256, {11025, 1, 1});
  EXPECT_EQ(r.frames.Text(), "2");
  const QImage before = r.spectro.Image();

  r.oscope.setChecked(false);
  r.spectrumChk.setChecked(false);
  r.left.Clear();
  r.spectrum.Clear();
  r.Frame(frame, 256, {11025, 1, 1});
  EXPECT_EQ(r.frames.Text(), "3");
  EXPECT_EQ(r.left.PointCount(), 0);
  EXPECT_EQ(r.spectrum.PointCount(), 0);
  EXPECT_EQ(r.spectro.Image(), before);

  // The read-out keeps its text until the next frame, which shows 1.
  r.rt.UpdateBufferSize();
  EXPECT_EQ(r.rt.FrameCount(), 0);
  EXPECT_EQ(r.frames.Text(), "3");
  r.Frame(frame, 256, {11025, 1, 1});
  EXPECT_EQ(r.frames.Text(), "1");
}

// Guards the spectrogram row of a frame: the tone's column is the brightest
// band, and a frame shorter than the set-up is zero-padded, neither
// transformed with a size that is not a power of two nor filled out with
// what the last frame left.
TEST(SARealTime, SpectrogramRowAndShortFrames)
{
  Rig r(wf11Khz_Mono_16Bit, 0);
  // A phase of 1 rad leaves both parts of the transform, done in place, far from zero.
  std::vector<int> v(256);
  for (int i = 0; i < 256; ++i)
    v[i] = int(std::lround(30000 * std::sin(2 * std::numbers::pi * 32 * i / 256 + 1)));
  r.Frame(Words(v), 256, {11025, 2, 1});
  const QImage img = r.spectro.Image();
  const int bottom = img.height() - 1;
  // Column 31 holds bin 32 (the row starts at bin 1); the top band's colour.
  const TColorBar& bar = *r.spectro.DepthBar();
  const QRgb top = QColor::fromRgb(RedOf(bar.ColorOf(-0.5)), GreenOf(bar.ColorOf(-0.5)),
                                   BlueOf(bar.ColorOf(-0.5)))
                       .rgb();
  EXPECT_EQ(img.pixel(31, bottom), top);
  EXPECT_NE(img.pixel(60, bottom), top);

  r.Frame(Words(std::vector<int>(100, 0)), 100, {11025, 2, 1});
  for (const TDataPoint& p : r.spectrum.Points())
    ASSERT_EQ(p.Y, -96) << p.X;
  EXPECT_NO_THROW(r.Frame(Words(std::vector<int>(100, 1000)), 100, {11025, 2, 1}));
  EXPECT_EQ(r.spectrum.Points().size(), 127u);
}
