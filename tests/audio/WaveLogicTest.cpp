// SPDX-License-Identifier: GPL-3.0-or-later
// Reader and player behaviour that needs no sound server: the format table,
// the linked list, a missing device and the error texts.
#include "AudioRig.h"
#include "audio/WaveLib.h"
#include "audio/Waveread.h"

#include <QComboBox>
#include <array>
#include <cstring>
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

// Guards the wider formats' table: appended after the classic twelve (whose
// numbers stored settings use), the Qt format each is captured in, the
// captions, the preferred format's match ignoring the channel layout.
TEST(WaveReaderFormats, WideFormatsFollowTheClassicTwelve)
{
  struct Case
  {
    TWaveTypes Type;
    TWaveDataFormat Format;
    const char* Caption;
    QAudioFormat::SampleFormat Qt;
  };
  for (const Case& c : {
           Case{wf44Khz_Stereo_16Bit,
                {44100, 2, 2},
                "44.1 kHz, Stereo, 16-bit",
                QAudioFormat::Int16},
           Case{wf48Khz_Mono_16Bit, {48000, 2, 1}, "48 kHz, Mono, 16-bit", QAudioFormat::Int16},
           Case{wf48Khz_Stereo_24Bit, {48000, 3, 2}, "48 kHz, Stereo, 24-bit", QAudioFormat::Int32},
           Case{wf88Khz_Mono_Float,
                {88200, 4, 1, true},
                "88.2 kHz, Mono, 32-bit float",
                QAudioFormat::Float},
           Case{wf96Khz_Stereo_Float,
                {96000, 4, 2, true},
                "96 kHz, Stereo, 32-bit float",
                QAudioFormat::Float},
           Case{wf11Khz_Mono_24Bit, {11025, 3, 1}, "11.025 kHz, Mono, 24-bit", QAudioFormat::Int32},
           Case{wf44Khz_Stereo_Float,
                {44100, 4, 2, true},
                "44.1 kHz, Stereo, 32-bit float",
                QAudioFormat::Float},
       }) {
    SCOPED_TRACE(c.Caption);
    EXPECT_EQ(WaveTypeFormat(c.Type), c.Format);
    EXPECT_EQ(WaveTypeCaption(c.Type), c.Caption);
    EXPECT_EQ(ToAudioFormat(c.Format).sampleFormat(), c.Qt);
  }
  EXPECT_EQ(int(wf44Khz_Stereo_16Bit), 12);
  EXPECT_EQ(WaveTypeFormat(WaveTypeCount + 1), TWaveDataFormat{});
  // Every caption is told apart, so a stored caption names one format.
  QStringList captions;
  for (const auto& item : FormatListFromMask(~std::uint64_t(0)))
    captions << item.first;
  EXPECT_EQ(captions.size(), WaveTypeCount);
  EXPECT_EQ(captions.removeDuplicates(), 0);

  QAudioFormat preferred = ToAudioFormat(WaveTypeFormat(wf48Khz_Stereo_16Bit));
  preferred.setChannelConfig(QAudioFormat::ChannelConfigStereo);
  const std::uint64_t mask = (1u << (wf11Khz_Mono_8Bit - 1)) | (1u << (wf48Khz_Stereo_16Bit - 1));
  EXPECT_EQ(PreferredType(preferred, mask), wf48Khz_Stereo_16Bit);
  EXPECT_EQ(PreferredType(preferred, 1u), wfNone);
}

// Guards the sample conversion of every width: full scale either way and
// silence land on the analysis scale of the width, and the 16-bit reduction
// of wider samples rounds down and stays in range.
TEST(WaveSamples, EachWidthReadsOnItsOwnScale)
{
  const auto bytesOf = [](auto v) {
    std::array<unsigned char, 4> b{};
    std::memcpy(b.data(), &v, sizeof v);
    return b;
  };
  struct Case
  {
    TWaveDataFormat Format;
    std::array<unsigned char, 4> Bytes;
    double Value;
    std::int16_t As16;
  };
  const TWaveDataFormat u8{1, 1, 1}, s16{1, 2, 1}, s24{1, 3, 1}, f32{1, 4, 1, true};
  for (const Case& c : {
           Case{u8, {0xFF}, 255, 255},
           Case{u8, {0x00}, 0, 0},
           Case{u8, {0x80}, 128, 128},
           Case{s16, {0xFF, 0x7F}, 32767, 32767},
           Case{s16, {0x00, 0x80}, -32768, -32768},
           Case{s16, {0x00, 0x00}, 0, 0},
           Case{s24, {0xFF, 0xFF, 0x7F}, 8388607, 32767},
           Case{s24, {0x00, 0x00, 0x80}, -8388608, -32768},
           Case{s24, {0xFF, 0xFF, 0xFF}, -1, -1},
           Case{s24, {0x00, 0x00, 0x00}, 0, 0},
           Case{f32, bytesOf(1.0f), 8388608, 32767},
           Case{f32, bytesOf(-1.0f), -8388608, -32768},
           Case{f32, bytesOf(0.0f), 0, 0},
           Case{f32, bytesOf(-0.5f), -4194304, -16384},
       }) {
    SCOPED_TRACE(testing::Message() << SampleBits(c.Format) << " bits, " << c.Value);
    EXPECT_EQ(SampleValue(c.Bytes.data(), c.Format, 0), c.Value);
    EXPECT_EQ(Sample16(c.Bytes.data(), c.Format, 0), c.As16);
  }
  EXPECT_EQ(SampleBits(f32), 24);

  // The device's 32-bit words hold 24-bit samples in their top bytes.
  std::array<std::int32_t, 3> words{0x7FFFFF00, std::int32_t(0x80000000), -256};
  auto* raw = reinterpret_cast<char*>(words.data());
  PackFrom32(raw, 3);
  const auto* packed = reinterpret_cast<const unsigned char*>(raw);
  EXPECT_EQ(SampleValue(packed, s24, 0), 8388607);
  EXPECT_EQ(SampleValue(packed, s24, 1), -8388608);
  EXPECT_EQ(SampleValue(packed, s24, 2), -1);
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
    GTEST_SKIP() << "needs an input device with several formats (the audio rig has them all)";
  reader.SetWaveType(TWaveTypes(combo->itemData(1).toInt()));
  EXPECT_EQ(combo->currentIndex(), 1);
  reader.SetWaveType(TWaveTypes(WaveTypeCount + 1)); // no such format
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
