// SPDX-License-Identifier: GPL-3.0-or-later
// "Test Sound Card" end to end on the private sound server, whose loopback
// microphone hears what its sink plays: the sine's figures and the response
// of the sweep through the server.
#include "WindowDriver.h"
#include "app/pages/LoopbackDialog.h"
#include "audio/AudioRig.h"
#include "audio/Waveread.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace duv;

// Guards the whole course through real devices: the signal is played into
// the sink while the loopback microphone is captured, found in what came
// back and analysed. A path that neither changes nor loses samples is flat
// within 0.5 dB, with THD+N below -80 dB, on PulseAudio and on PipeWire
// (whose resampling there and back costs 0.3 dB at 16 kHz). The dialog then goes at once, its
// reader's stopped source still waiting to be deleted: that must not free
// the source's insides twice.
TEST(LoopbackRig, TestSoundCard)
{
  SKIP_WITHOUT_RIG();
  SetWaveMessageHandler([](const QString& Text) { ADD_FAILURE() << Text.toStdString(); });
  TLoopbackDialog dialog;
  ASSERT_TRUE(dialog.SetInput("RigLoop"));
  bool finished = false;
  QObject::connect(&dialog, &TLoopbackDialog::OnFinished, [&] { finished = true; });
  duv::test::Find<QPushButton>(dialog, "Start").click();
  ASSERT_TRUE(dialog.Running()) << dialog.Status().toStdString();
  ASSERT_TRUE(rig::WaitFor([&] { return finished; }, 20000)) << dialog.Status().toStdString();

  ASSERT_TRUE(dialog.Result()) << dialog.Status().toStdString();
  const TLoopbackResult& r = *dialog.Result();
  std::printf("%s\n%s\n", qPrintable(dialog.Status()), qPrintable(dialog.Report()));
  EXPECT_NEAR(r.Figures.Frequency, 1000, 0.05);
  // The sine and the sweep see the same gain at 1 kHz: 0 dB on PulseAudio,
  // +3 dB on PipeWire, which sums the mono signal's two upmixed channels.
  for (const TResponsePoint& p : r.Response)
    if (p.Band.Nominal == 1000)
      EXPECT_NEAR(r.Figures.Level, 20 * std::log10(0.5) + p.Gain, 0.1);
  EXPECT_NEAR(r.Figures.Level, rig::OnPipeWire() ? -3.01 : -6.02, 0.5);
  EXPECT_LT(RatioDecibels(r.Figures.THDN), -80);
  EXPECT_LE(r.Spread(), 0.5);
  EXPECT_GE(r.Response.size(), 29u);
}
