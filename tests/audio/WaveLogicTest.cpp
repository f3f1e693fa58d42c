// SPDX-License-Identifier: GPL-3.0-or-later
// Reader and player behaviour that needs no sound server: the format table,
// the linked list, a missing device and the error texts.
#include "AudioRig.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"

#include <QComboBox>
#include <memory>
#include <stdexcept>

using namespace duv;

// Guards the format query's list building: table order, values, and the
// single "No Wave Mapper" entry for an empty mask.
TEST(WaveReaderFormats, ListFollowsTheMaskInTableOrder)
{
  const auto mono8 = FormatListFromMask(0x001 | 0x010 | 0x100);
  ASSERT_EQ(mono8.size(), 3u);
  EXPECT_EQ(mono8[0].first, "11.025 kHz, Mono, 8-bit");
  EXPECT_EQ(mono8[1].first, "22.05 kHz, Mono, 8-bit");
  EXPECT_EQ(mono8[2].first, "44.1 kHz, Mono, 8-bit");
  EXPECT_EQ(mono8[0].second, wf11Khz_Mono_8Bit);
  EXPECT_EQ(mono8[1].second, wf22Khz_Mono_8Bit);
  EXPECT_EQ(mono8[2].second, wf44Khz_Mono_8Bit);

  const auto none = FormatListFromMask(0);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].first, "No Wave Mapper");
  EXPECT_EQ(none[0].second, wfNone);

  EXPECT_EQ(FormatListFromMask(0xFFF).size(), 12u);
  EXPECT_EQ(WaveTypeCaption(wf11Khz_Stereo_16Bit), "11.025 kHz, Stereo, 16-bit");
  EXPECT_EQ(WaveTypeCaption(wf22Khz_Mono_16Bit), "22.05 kHz, Mono, 16-bit");
  EXPECT_EQ(WaveTypeCaption(wf44Khz_Stereo_8Bit), "44.1 kHz, Stereo, 8-bit");
  EXPECT_EQ(ToAudioFormat(WaveTypeFormat(wf44Khz_Stereo_8Bit)).sampleFormat(), QAudioFormat::UInt8);
  EXPECT_EQ(ToAudioFormat(WaveTypeFormat(wf11Khz_Mono_16Bit)).sampleFormat(), QAudioFormat::Int16);
  EXPECT_EQ(FormatMask(QAudioDevice()), 0u);
}

// Guards the no-device path: the user is told, the list holds only "No Wave
// Mapper", and Start refuses instead of opening nothing and hanging in Stop.
TEST(WaveReaderNoDevice, TellsTheUserAndNeverStarts)
{
  rig::MessageLog log;
  TWaveReader reader;
  log.Messages.clear(); // the machine may or may not have an input
  reader.SetDevice(QAudioDevice());
  ASSERT_EQ(log.Messages, QStringList{"No Wave Device Available"});
  EXPECT_EQ(reader.FormatCaptions(), QStringList{"No Wave Mapper"});
  QComboBox combo;
  combo.addItem("left over");
  reader.SetComboBox(&combo);
  ASSERT_EQ(combo.count(), 1);
  EXPECT_EQ(combo.itemText(0), "No Wave Mapper");
  EXPECT_EQ(reader.WaveType(), wfNone);
  TWaveDataFormat f{1, 2, 3};
  reader.GetDataFormat(f);
  EXPECT_EQ(f, (TWaveDataFormat{1, 2, 3})); // no format for wfNone
  reader.Start();
  EXPECT_FALSE(reader.IsActive());
  EXPECT_EQ(log.Messages.size(), 2);
  reader.Stop(); // Stop while Idle does nothing
  EXPECT_FALSE(reader.IsActive());
}

// Guards WaveType against the linked list: writes select the matching item
// or none, and a destroyed list is unlinked instead of left dangling.
TEST(WaveReaderList, WaveTypeFollowsTheLinkedList)
{
  rig::MessageLog log;
  TWaveReader reader;
  auto combo = std::make_unique<QComboBox>();
  reader.SetComboBox(combo.get());
  if (combo->count() < 2)
    GTEST_SKIP() << "needs an input device with several formats (the audio rig has twelve)";
  reader.SetWaveType(TWaveTypes(combo->itemData(1).toInt()));
  EXPECT_EQ(combo->currentIndex(), 1);
  reader.SetWaveType(TWaveTypes(13)); // no such format
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(reader.WaveType(), wfNone);
  reader.Start(); // nothing selected: refused
  EXPECT_FALSE(reader.IsActive());
  reader.SetWaveType(wf22Khz_Stereo_16Bit);
  combo.reset();
  EXPECT_EQ(reader.ComboBox(), nullptr);
  EXPECT_EQ(reader.WaveType(), wf22Khz_Stereo_16Bit);
  TWaveDataFormat f;
  reader.GetDataFormat(f);
  EXPECT_EQ(f, (TWaveDataFormat{22050, 2, 2}));
}

// Guards the error texts, including their differing leading characters.
TEST(WaveLibText, ErrorTextsAsTheUserSeesThem)
{
  EXPECT_EQ(WaveOutErrorText(6), "6: No device driver is present.");
  EXPECT_EQ(WaveOutErrorText(11), "11");
  EXPECT_EQ(WaveOutErrorText(5), "5: Specified device handle is invalid.");
  EXPECT_EQ(WaveOutErrorText(7), "7 Unable to allocate or lock memory.");
  EXPECT_TRUE(WaveOutErrorText(34).startsWith("34 The data block"));
}

// Guards against playing (or crashing) with nothing open: after a refused
// format no device is open and a write fails with the header message.
TEST(WaveLibErrors, WriteWithoutDeviceFails)
{
  WAVEFORMATEX bad;
  bad.wFormatTag = 3; // float: not playable here
  bad.nChannels = 1;
  bad.nSamplesPerSec = 44100;
  bad.nBlockAlign = 4;
  bad.wBitsPerSample = 32;
  try {
    OpenWaveOut(bad);
    FAIL() << "a float format was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(QString(e.what()) == "Can't play format" ||
                QString(e.what()) == "Failed to open output device")
        << e.what();
  }
  EXPECT_FALSE(WaveOutIsOpen());
  const char data[4] = {};
  try {
    WriteWaveOut(data, sizeof data, true);
    FAIL() << "wrote without an open device";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to prepare header");
  }
}
