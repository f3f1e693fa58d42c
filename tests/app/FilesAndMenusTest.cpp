// SPDX-License-Identifier: GPL-3.0-or-later
// The Wave File and Synthesize pages, the menus, opening files and the About
// dialog, driven through the main window with what would be played recorded
// instead of sent to a device.
#include "app/SAAbout.h"
#include "WindowDriver.h"
#include "analysis/SAGlobal.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SASynthesizer.h"
#include "app/pages/SAWaveFile.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/SynthesizePage.h"
#include "app/pages/WaveFilePage.h"
#include "audio/Waveread.h"
#include "controls/CheckedGroup.h"
#include "controls/DropController.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "controls/Reopen.h"
#include "graph/Graphbox.h"
#include "spectrogram/SASpectroDlg.h"
#include "spectrogram/Spectrogram.h"
#include "support/UiSupport.h"
#include "wavefile/WavWriter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace duv;
using namespace duv::test;

namespace {

// One call of the play function.
struct Played
{
  WAVEFORMATEX Format;
  QByteArray Data;
  bool Wait;
};

// A window whose plays are recorded, without a sound server.
struct Window
{
  TForm1 form;
  std::vector<Played> plays;
  Window()
  {
    // The worked values are at the smallest format; a first start takes the
    // input's own.
    form.RealTimePage().SetFormat(wf11Khz_Mono_8Bit);
    const auto record = [this](WAVEFORMATEX f, const void* data, std::uint32_t size, bool wait) {
      plays.push_back({f, QByteArray(static_cast<const char*>(data), int(size)), wait});
    };
    form.WaveFilePage().WaveFile().Play = record;
    form.SynthesizePage().Synthesizer().Play = record;
  }
  TWaveFilePage& page() { return form.WaveFilePage(); }
  TGraphBox& left() { return form.ScopeBand().LeftGraph(); }
  TGraphBox& right() { return form.ScopeBand().RightGraph(); }
  TGraphBox& spectrum() { return form.GraphPage().SpectrumGraph(); }
  // One of the file's statistics as shown: 0 channels, 1 Hz, 4 bits, 5 samples.
  QString Stat(int i) { return page().FileStatistics().value(i); }
  void SetOffset(double seconds) { page().SetOffset(seconds); }
  void SetSize(int index) { page().SetBufferSize(BufferSizes[index]); }
  std::vector<std::int16_t> Words(const Played& p) const
  {
    std::vector<std::int16_t> w(std::size_t(p.Data.size() / 2));
    std::memcpy(w.data(), p.Data.constData(), std::size_t(w.size()) * 2);
    return w;
  }
};

// 16-bit samples of a file: sample i of channel c is f(i, c).
template <typename F> QByteArray Samples16(int n, int channels, F f)
{
  QByteArray b;
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < channels; ++c)
      b += le16(f(i, c));
  return b;
}

QString ToneFile(const QString& name, int rate, int n, int channels, double hz)
{
  return writeTemp(name, WavBuilder()
                             .fmt(channels, rate, 16)
                             .chunk("data", Samples16(n, channels,
                                                      [&](int i, int c) {
                                                        return int(std::lround(
                                                            16000 * std::sin(2 * std::numbers::pi *
                                                                             hz * (c + 1) * i / rate)));
                                                      }))
                             .finish());
}

// The strongest point of the spectrum graph.
TDataPoint Peak(const TGraphBox& g)
{
  TDataPoint best = g.Points().front();
  for (const TDataPoint& p : g.Points())
    if (p.Y > best.Y)
      best = p;
  return best;
}

} // namespace

// Guards the stretch: offsets in seconds truncated to whole samples (and
// exact where the product is whole), the stretch length, the zero-padded
// tail, and offsets at or past the end doing nothing.
TEST(WaveFilePage, StretchOffsetsAndTheFileEnd)
{
  QuietReader quiet;
  Window w;
  // A ramp, so the first played sample tells the offset.
  w.form.OpenWaveFile(writeTemp("ramp.wav", WavBuilder().fmt(1, 11025, 16)
                                                 .chunk("data", Samples16(20000, 1,
                                                                          [](int i, int) { return i; }))
                                                 .finish()));
  w.SetSize(2); // 1024
  w.SetOffset(0.5);
  EXPECT_EQ(w.form.WaveFilePage().WaveFile().StretchOffset(), 5512); // 5512.5 truncated
  w.form.WaveFilePage().PlaySampleBtnClick();
  ASSERT_EQ(w.plays.size(), 1u);
  EXPECT_EQ(w.Words(w.plays[0]).front(), 5512);
  EXPECT_EQ(w.Words(w.plays[0]).size(), 1024u);
  EXPECT_FALSE(w.plays[0].Wait); // the window takes input while it plays
  w.SetOffset(0.1);
  EXPECT_EQ(w.form.WaveFilePage().WaveFile().StretchOffset(), 1102);

  w.form.OpenWaveFile(ToneFile("exact.wav", 44100, 50000, 1, 1000));
  w.SetOffset(1.0);
  EXPECT_EQ(w.form.WaveFilePage().WaveFile().StretchOffset(), 44100);

  // 1000 samples at 11025 Hz: 256 of them from offset 0; a tail of 100
  // zero-padded to the buffer size; the offset goes no further than the
  // last sample.
  w.plays.clear();
  w.form.OpenWaveFile(ToneFile("short.wav", 11025, 1000, 1, 1000));
  w.SetSize(0);
  w.SetOffset(0);
  w.form.WaveFilePage().PlaySampleBtnClick();
  EXPECT_EQ(w.Words(w.plays.back()).size(), 256u);
  w.SetOffset(900 / 11025.0);
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  EXPECT_EQ(w.form.GraphPage().SpectrumGraph().Points().size(), 127u);
  w.form.WaveFilePage().PlaySampleBtnClick();
  EXPECT_EQ(w.Words(w.plays.back()).size(), 100u);
  for (double offset : {1000 / 11025.0, 0.2, 1e9}) {
    w.SetOffset(offset);
    EXPECT_EQ(w.form.WaveFilePage().WaveFile().StretchOffset(), 999);
    w.form.WaveFilePage().PlaySampleBtnClick();
    EXPECT_EQ(w.Words(w.plays.back()).size(), 1u);
  }

  // While a stretch plays, a second "Play Sample" stops it, as Escape does.
  bool playing = true;
  int stops = 0;
  w.form.WaveFilePage().WaveFile().Playing = [&playing] { return playing; };
  w.form.WaveFilePage().WaveFile().StopPlaying = [&] { ++stops, playing = false; };
  const std::size_t plays = w.plays.size();
  w.form.WaveFilePage().PlaySampleBtnClick();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(w.plays.size(), plays);
  w.form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
  QTest::keyClick(&w.form, Qt::Key_Escape);
  EXPECT_EQ(stops, 2);
}

// Guards each width on the page: traces and their ranges, the spectrum's
// channel and floor, and what "Play Sample" plays (mono, the file's rate).
TEST(WaveFilePage, WidthsTracesSpectrumAndPlay)
{
  QuietReader quiet;
  Window w;
  // Stereo 16-bit: left 1000 Hz, right 2000 Hz.
  w.form.OpenWaveFile(ToneFile("stereo.wav", 22050, 8192, 2, 1000));
  EXPECT_EQ(w.form.WaveFilePage().FileStatistics().value(0), "2");
  EXPECT_EQ(w.form.WaveFilePage().FileStatistics().value(5), FormatThousands(8192));
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().PointCount(), 8192);
  EXPECT_EQ(w.form.ScopeBand().RightGraph().PointCount(), 8192);
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().YAxis().Min(), -32768);
  EXPECT_DOUBLE_EQ(w.form.ScopeBand().LeftGraph().XAxis().Multiplier(), 1 / 22050.0);
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().Decimals2(), 1);
  w.SetSize(3); // 2048
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  EXPECT_NEAR(Peak(w.form.GraphPage().SpectrumGraph()).X, 1000, 22050.0 / 2048);
  EXPECT_EQ(w.form.GraphPage().SpectrumGraph().YAxis().Min(), -100);
  w.form.WaveFilePage().PlaySampleBtnClick();
  const Played& p = w.plays.back();
  EXPECT_EQ(p.Format.nChannels, 1);
  EXPECT_EQ(p.Format.wBitsPerSample, 16);
  EXPECT_EQ(p.Format.nSamplesPerSec, 22050u);
  EXPECT_EQ(p.Format.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(p.Format.nBlockAlign, 2);
  EXPECT_EQ(w.Words(p)[10], std::lround(16000 * std::sin(2 * std::numbers::pi * 1000 * 10 / 22050)));

  // 8-bit: 0 .. 256 traces, the 8-bit floor, played as bytes.
  // Another file starts at its beginning, and says what it is.
  w.form.WaveFilePage().SetOffset(0.2);
  w.form.OpenWaveFile(writeTemp("8.wav", WavBuilder().fmt(1, 11025, 8).chunk("data", QByteArray(4096, '\x80')).finish()));
  EXPECT_EQ(w.form.WaveFilePage().Offset(), 0);
  EXPECT_EQ(w.form.WaveFilePage().Summary(), "WAV, 8-bit, 11.025 kHz, 0.4 s");
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().YAxis().Max(), 256);
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  EXPECT_EQ(w.form.GraphPage().SpectrumGraph().YAxis().Min(), -60);
  EXPECT_EQ(w.form.GraphPage().DCOffsetText(), "256.00");
  w.form.WaveFilePage().PlaySampleBtnClick();
  EXPECT_EQ(w.plays.back().Format.wBitsPerSample, 8);
  EXPECT_EQ(w.plays.back().Data.size(), 2048);
  EXPECT_EQ(std::uint8_t(w.plays.back().Data[0]), 128);

  // 24-bit: reduced to 16 bits, drawn and analysed as such.
  w.form.OpenWaveFile(writeTemp("24.wav", WavBuilder().fmt(1, 8000, 24).chunk("data", QByteArray(3000, '\x10')).finish()));
  EXPECT_EQ(w.form.WaveFilePage().FileStatistics().value(4), "24 (read as 16)");
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().YAxis().Min(), -32768);
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().PointCount(), 1000);

  // 4-bit: 0 .. 16 traces; played as 16-bit spread around 0.
  w.form.OpenWaveFile(writeTemp("4.wav", WavBuilder().fmt(1, 8000, 4).chunk("data", QByteArray("\xf0\x70", 2)).finish()));
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().YAxis().Max(), 16);
  w.SetOffset(0);
  w.form.WaveFilePage().PlaySampleBtnClick();
  // Mono nibbles, low one first: 0, 15, 0, 7.
  EXPECT_EQ(w.Words(w.plays.back()), (std::vector<std::int16_t>{-32767, 32767, -32767, -2184}));
  EXPECT_EQ(w.plays.back().Format.nBlockAlign, 2);

  // A width that is not unpacked: shown, never analysed or played.
  const std::size_t plays = w.plays.size();
  w.form.GraphPage().SpectrumGraph().Clear();
  w.form.OpenWaveFile(writeTemp("12.wav", WavBuilder().fmt(1, 8000, 12).chunk("data", QByteArray(400, '\1')).finish()));
  EXPECT_EQ(w.form.WaveFilePage().FileStatistics().value(4), "12");
  EXPECT_EQ(w.form.ScopeBand().LeftGraph().PointCount(), 0);
  w.form.WaveFilePage().AnalyzeFileBtnClick();
  w.form.WaveFilePage().PlaySampleBtnClick();
  EXPECT_EQ(w.plays.size(), plays);
  EXPECT_EQ(w.form.GraphPage().SpectrumGraph().PointCount(), 0);
}

// Guards the stretch markers: two blue lines at the stretch's ends on the
// left trace, moved by the offset and by a click on the trace, and only
// while the Wave File page is shown; Auto Analyze and Auto Play follow the
// offset.
TEST(WaveFilePage, MarkersClickAndAutoActions)
{
  QuietReader quiet;
  Window w;
  w.form.resize(900, 650);
  w.form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
  w.form.OpenWaveFile(ToneFile("marks.wav", 22050, 22050 * 4, 1, 440));
  w.SetSize(7); // 32768 samples: about 1.5 s
  QApplication::processEvents();
  TGraphBox& g = w.form.ScopeBand().LeftGraph();
  const auto blueAt = [&g](double sample) {
    const QImage img = g.grab().toImage();
    const int x = g.ValueToPixel(sample, 0).x();
    int blue = 0;
    for (int dx = -1; dx <= 1; ++dx)
      for (int y = g.PlotTop() + 2; y < g.PlotBottom() - 2; ++y)
        blue += img.pixel(x + dx, y) == qRgb(0, 0, 255);
    return blue > (g.PlotBottom() - g.PlotTop()) / 2;
  };
  EXPECT_TRUE(blueAt(0));
  EXPECT_TRUE(blueAt(32768));

  // A click at the 2.5 s mark sets the offset there; the lines follow.
  const QPoint at = g.ValueToPixel(2.5 * 22050, 0);
  QTest::mouseClick(&g, Qt::LeftButton, {}, at);
  EXPECT_NEAR(w.form.WaveFilePage().Offset(), 2.5, 0.05);
  QApplication::processEvents();
  const double start = w.form.WaveFilePage().Offset() * 22050;
  EXPECT_TRUE(blueAt(start));
  EXPECT_TRUE(blueAt(start + 32768));
  EXPECT_FALSE(blueAt(0));
  // The second line stops at the end of the trace.
  w.SetOffset(3.5);
  QApplication::processEvents();
  EXPECT_TRUE(blueAt(22050 * 4));

  // On another page the trace keeps no markers and a click moves nothing.
  w.form.InputPages().setCurrentWidget(&w.form.RealTimePage());
  g.Invalidate();
  QApplication::processEvents();
  EXPECT_FALSE(blueAt(w.form.WaveFilePage().Offset() * 22050));
  const double offset = w.form.WaveFilePage().Offset();
  QTest::mouseClick(&g, Qt::LeftButton, {}, g.ValueToPixel(22050, 0));
  EXPECT_EQ(w.form.WaveFilePage().Offset(), offset);

  w.form.InputPages().setCurrentWidget(&w.form.WaveFilePage());
  w.form.WaveFilePage().SetAutoAnalyze(true);
  w.form.WaveFilePage().SetAutoPlay(true);
  w.form.GraphPage().SpectrumGraph().Clear();
  w.plays.clear();
  w.SetOffset(1.0);
  EXPECT_GT(w.form.GraphPage().SpectrumGraph().PointCount(), 0);
  EXPECT_EQ(w.plays.size(), 1u);
}

// Guards the synthesizer page: its defaults, every control making a frame,
// the checked group enabling its children, the modulation choices, the
// square wave, clipping in 16 bits, and "Play Sound" playing without
// waiting.
TEST(SynthesizePage, ControlsFramesAndPlay)
{
  QuietReader quiet;
  Window w;
  TForm1& f = w.form;
  TSynthesizePage& page = f.SynthesizePage();
  TSASynthesizer& synth = page.Synthesizer();
  const auto spin = [&page](const char* name, int index = 0) -> TRealSpin& {
    return Find<TRealSpin>(page, name, index);
  };
  auto& type = Find<TRadioGroup>(page, "Type", 0);
  auto& modType = Find<TRadioGroup>(page, "Type", 1);
  auto& modulate = Find<TCheckedGroup>(page, "Modulate Wave");
  auto& playSound = Find<QCheckBox>(page, "Play Sound");
  auto& sweep = Find<QCheckBox>(page, "Sweep");
  const auto frames = [&f] { return f.RealTimePage().FramesText(); };
  EXPECT_EQ(FindAll<QPushButton>(page, "Display Test Signal").size(), 1);
  EXPECT_EQ(spin("Frequency").Value(), 500);
  EXPECT_EQ(spin("Amplitude").Value(), 1);
  EXPECT_EQ(spin("DC Bias").Value(), 0);
  EXPECT_EQ(spin("End Freq").Value(), 1000);
  EXPECT_EQ(spin("Frequency", 1).Value(), 2);
  EXPECT_EQ(spin("Amplitude", 1).Value(), 1);
  EXPECT_EQ(type.ItemIndex(), 0);
  EXPECT_EQ(modType.ItemIndex(), 0);
  EXPECT_FALSE(modulate.Checked());
  EXPECT_FALSE(modType.isEnabled());
  EXPECT_FALSE(spin("Frequency", 1).isEnabled());
  EXPECT_FALSE(playSound.isChecked());

  // Default tone in the first format (11025 Hz, 8-bit) over 2048 samples.
  f.RealTimePage().SetBufferSize(2048);
  page.TestBtnClick();
  EXPECT_EQ(frames(), "1");
  const auto& b8 = synth.SynthBuffer8;
  EXPECT_EQ(b8[0], 127);
  EXPECT_EQ(*std::max_element(b8.begin(), b8.begin() + 2048), 254);
  EXPECT_EQ(*std::min_element(b8.begin(), b8.begin() + 2048), 0);
  EXPECT_NEAR(Peak(w.spectrum()).X, 500, 11025.0 / 2048);
  EXPECT_TRUE(w.plays.empty());

  // Each control of the page makes a new frame; "Play Sound" alone does not.
  spin("Frequency").SetValue(1000);
  EXPECT_EQ(frames(), "2");
  EXPECT_NEAR(Peak(w.spectrum()).X, 1000, 11025.0 / 2048);
  sweep.click();
  type.Button(1)->click();
  EXPECT_EQ(frames(), "4");
  EXPECT_EQ(b8[0], 0); // a square wave starts low
  playSound.click();
  EXPECT_EQ(frames(), "4");
  EXPECT_TRUE(w.plays.empty());
  sweep.click();

  // The checked group: its children follow its check, and its check makes a
  // frame with the chosen modulation.
  modulate.SetChecked(true);
  EXPECT_TRUE(modType.isEnabled());
  EXPECT_TRUE(spin("Amplitude", 1).isEnabled());
  EXPECT_EQ(synth.Params().ModKind, 1);
  modType.Button(1)->click();
  EXPECT_EQ(synth.Params().ModKind, 2);
  modType.Button(2)->click();
  EXPECT_EQ(synth.Params().ModKind, 3);
  // Played once per frame, mono 8-bit at the capture rate, without waiting.
  ASSERT_FALSE(w.plays.empty());
  const Played& p = w.plays.back();
  EXPECT_FALSE(p.Wait);
  EXPECT_EQ(p.Format.wBitsPerSample, 8);
  EXPECT_EQ(p.Format.nSamplesPerSec, 11025u);
  EXPECT_EQ(p.Data.size(), 2048);
  modulate.SetChecked(false);
  EXPECT_EQ(synth.Params().ModKind, 0);
  EXPECT_FALSE(spin("Frequency", 1).isEnabled());

  // 16-bit capture: amplitude 2 clips at +-32767.
  f.Reader().SetComboBox(nullptr);
  f.Reader().SetWaveType(wf44Khz_Mono_16Bit);
  type.Button(0)->click();
  spin("Amplitude").SetValue(2);
  const auto& b16 = synth.SynthBuffer16;
  EXPECT_EQ(*std::max_element(b16.begin(), b16.begin() + 2048), 32767);
  EXPECT_EQ(*std::min_element(b16.begin(), b16.begin() + 2048), -32767);
  EXPECT_EQ(w.plays.back().Format.nAvgBytesPerSec, 88200u);
  EXPECT_EQ(w.plays.back().Data.size(), 4096);
}

// Guards opening: from the dialog, the recent-files menu and a drop (the
// first file only, and only on the Wave File page), the caption and the
// current folder, the same file again not re-read, and a failing open that
// changes nothing at all. A file shorter than its header says opened without
// a word: the status bar says it is truncated until a whole file is opened.
TEST(OpenWaveFile, DialogRecentFilesDropAndFailure)
{
  QStandardPaths::setTestModeEnabled(true);
  QuietReader quiet;
  Window w;
  TForm1& f = w.form;
  const QString tone = ToneFile("tone.wav", 11025, 3000, 1, 440);
  // In a folder of its own, so that opening it changes the current folder.
  QTemporaryDir elsewhere;
  const QString other = elsewhere.filePath("other.wav");
  ASSERT_TRUE(QFile::copy(ToneFile("other.wav", 8000, 2000, 2, 300), other));

  QStringList filters;
  QTimer::singleShot(0, [&] {
    filters = f.OpenDialog()->nameFilters();
    f.OpenDialog()->selectFile(tone);
    QMetaObject::invokeMethod(f.OpenDialog(), "accept");
  });
  f.OpenWaveFile1->trigger();
  EXPECT_EQ(f.OpenDialog(), nullptr); // gone with its run
  EXPECT_EQ(f.windowTitle(), "tone.wav - Duvovovi");
  EXPECT_EQ(QDir::currentPath(), QFileInfo(tone).absolutePath());
  EXPECT_EQ(f.InputPages().currentWidget(), &f.WaveFilePage());
  EXPECT_EQ(f.WaveFilePage().FileStatistics().value(1), "11025");
  EXPECT_EQ(f.RecentFiles().Paths().value(0), tone);
  EXPECT_TRUE(filters.contains("WAV files (*.wav)"));
  EXPECT_TRUE(filters.contains("All files (*)"));
  const auto dialogFolder = [&f] {
    QString shown;
    QTimer::singleShot(0, [&] {
      shown = f.OpenDialog()->directory().absolutePath();
      f.OpenDialog()->reject();
    });
    f.OpenWaveFile1->trigger();
    return shown;
  };

  // A drop of three files opens the first; a drop elsewhere is not taken.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(other), QUrl::fromLocalFile(tone), QUrl::fromLocalFile(tone)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&f.WaveFilePage(), &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&f.WaveFilePage(), &drop);
  EXPECT_EQ(f.windowTitle(), "other.wav - Duvovovi");
  EXPECT_EQ(f.WaveFilePage().FileStatistics().value(0), "2");
  // The Open dialog starts in the dropped file's folder, the current one.
  EXPECT_EQ(dialogFolder(), QFileInfo(other).absolutePath());
  EXPECT_EQ(f.DropController().DropTarget(), &f.WaveFilePage());

  // The recent-files menu, newest first; the same file again is shown again
  // without being read again, and moves to the top.
  ASSERT_GE(f.Reopen1->actions().size(), 2);
  const TSoundFile* before = &f.WaveFilePage().WaveFile().SoundFile();
  f.Reopen1->actions().at(0)->trigger(); // other.wav, already loaded
  EXPECT_EQ(&f.WaveFilePage().WaveFile().SoundFile(), before);
  f.Reopen1->actions().at(1)->trigger(); // tone.wav
  EXPECT_EQ(f.windowTitle(), "tone.wav - Duvovovi");
  EXPECT_EQ(f.RecentFiles().Paths().value(0), tone);

  // A file that cannot be read: its error, and nothing else changes.
  f.InputPages().setCurrentWidget(&f.SynthesizePage());
  const QStringList recent = f.RecentFiles().Paths();
  const std::int64_t points = f.ScopeBand().LeftGraph().PointCount();
  const QString folder = QDir::currentPath();
  const QString bad = writeTemp("bad.wav", "RIFF, but nothing a sound file holds");
  EXPECT_THROW(f.OpenWaveFile(bad), EWaveFileError);
  EXPECT_THROW(f.OpenWaveFile(QDir::temp().filePath("no-such-file.wav")), EWaveFileError);
  EXPECT_EQ(f.windowTitle(), "tone.wav - Duvovovi");
  EXPECT_EQ(f.InputPages().currentWidget(), &f.SynthesizePage());
  EXPECT_EQ(f.RecentFiles().Paths(), recent);
  EXPECT_EQ(f.ScopeBand().LeftGraph().PointCount(), points);
  EXPECT_EQ(f.WaveFilePage().FileStatistics().value(1), "11025");
  EXPECT_EQ(QDir::currentPath(), folder);

  const QString cut = writeTemp(
      "cut.wav",
      WavBuilder().fmt(1, 8000, 16).chunk("data", QByteArray(2000, '\1'), 1 << 30).finish());
  f.OpenWaveFile(cut);
  EXPECT_EQ(f.windowTitle(), "cut.wav - Duvovovi");
  EXPECT_EQ(f.statusBar()->currentMessage(),
            cut + " is truncated: its header declares 1073741824 bytes of samples, but only 2000 "
                  "are present");
  f.OpenWaveFile(tone);
  EXPECT_EQ(f.statusBar()->currentMessage(), "");
}

// Guards Open after a path typed into the Open dialog: the one dialog kept
// for the whole run was left with the completion popup of the typed path
// grabbing the input, and the next Open silently did nothing. Each Open shows
// a dialog that takes a typed path with real keys.
TEST(OpenWaveFile, TypedPathsOpenOneAfterAnother)
{
  QStandardPaths::setTestModeEnabled(true);
  QuietReader quiet;
  Window w;
  TForm1& f = w.form;
  w.form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  const QString files[] = {ToneFile("typed1.wav", 8000, 2000, 1, 300),
                           ToneFile("typed2.wav", 11025, 2000, 1, 300)};
  for (const QString& path : files) {
    bool typed = false;
    QTimer::singleShot(200, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible())
        return;
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_TRUE(name);
      QTest::keyClicks(name, path);
      QTest::qWait(300); // the completion of the typed folder comes up
      QTest::keyClick(name, Qt::Key_Return);
      typed = true;
    });
    // However the dialog fails, the test goes on to say so.
    QTimer::singleShot(5000, [] {
      if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    });
    f.OpenWaveFile1->trigger();
    EXPECT_TRUE(typed) << "no dialog for " << path.toStdString();
    EXPECT_EQ(f.windowTitle().toStdString(),
              QFileInfo(path).fileName().toStdString() + " - Duvovovi");
  }
}

// Guards the open path for the formats libsndfile reads: a drop, the open
// call the dialog makes and the recent files take them, and the page shows
// the file's own width, or a lossy file's encoding, with its traces drawn;
// the dialog offers them all under "Audio files".
TEST(OpenWaveFile, DecodedFilesByDropRecentAndDialogFilter)
{
  QStandardPaths::setTestModeEnabled(true);
  QuietReader quiet;
  Window w;
  TForm1& f = w.form;
  const QString dir = QFileInfo(writeTemp("anchor", "")).absolutePath();
  const QString flac = dir + "/song.flac", mp3 = dir + "/talk.mp3", wav = dir + "/talk.wav";
  ASSERT_TRUE(runSox(
      {"-D", "-n", "-r", "22050", "-c", "2", "-b", "24", flac, "synth", "0.5", "sine", "440"}));
  ASSERT_TRUE(runSox(
      {"-D", "-n", "-r", "16000", "-c", "1", "-b", "16", wav, "synth", "0.5", "sine", "300"}));
  ASSERT_TRUE(runTool("lame", {"--quiet", "-V", "2", wav, mp3}));

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(flac)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&f.WaveFilePage(), &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(&f.WaveFilePage(), &drop);
  EXPECT_EQ(f.windowTitle(), "song.flac - Duvovovi");
  EXPECT_EQ(w.Stat(4), "24 (read as 16)");
  EXPECT_EQ(w.Stat(0), "2");
  EXPECT_EQ(f.ScopeBand().LeftGraph().PointCount(), 11025);
  EXPECT_EQ(f.ScopeBand().RightGraph().PointCount(), 11025);

  f.OpenWaveFile(mp3);
  EXPECT_EQ(w.Stat(4), "MP3 (read as 16)");
  EXPECT_EQ(w.Stat(1), "16000");
  EXPECT_EQ(f.ScopeBand().LeftGraph().PointCount(), 8000);

  ASSERT_GE(f.Reopen1->actions().size(), 2);
  f.Reopen1->actions().at(1)->trigger(); // song.flac
  EXPECT_EQ(f.windowTitle(), "song.flac - Duvovovi");
  EXPECT_EQ(f.RecentFiles().Paths().value(0), flac);

  QString audio;
  QTimer::singleShot(0, [&] {
    audio = f.OpenDialog()->nameFilters().value(0);
    f.OpenDialog()->reject();
  });
  f.OpenWaveFile1->trigger();
  EXPECT_TRUE(audio.startsWith("Audio files (*.wav ")) << audio.toStdString();
  for (const char* pattern : {"*.flac", "*.ogg", "*.opus", "*.mp3", "*.aiff", "*.caf", "*.rf64"})
    EXPECT_TRUE(audio.contains(pattern)) << pattern;
}

// Guards the menus as the user sees them: items in order with their
// mnemonics and shortcuts, and the spectrogram's context menu.
TEST(Menus, ItemsAndShortcuts)
{
  QuietReader quiet;
  Window w;
  const auto texts = [](QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions())
      out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  EXPECT_EQ(texts(w.form.File1),
            QStringList({"&Open Wave File", "&Reopen", "-", "Print &Left Channel",
                         "Print &Right Channel", "Print &Spectrum", "Print Spectro&gram",
                         "Save Spectr&um...", "Save Spectrogram &Image...", "Save &Capture As...",
                         "&Analyze Capture", "-", "&Exit"}));
  EXPECT_EQ(texts(w.form.Edit1),
            QStringList({"Copy &Left Channel", "Copy &Right Channel", "Copy &Spectrum",
                         "Copy Spectrum as &Text", "Copy S&pectrogram"}));
  EXPECT_EQ(texts(w.form.Settings1), QStringList({"&Setup Spectrogram..", "&Reset View Settings",
                                                  "&Calibration...", "&Test Sound Card..."}));
  EXPECT_EQ(texts(w.form.Help1), QStringList({"&Contents\tF1", "-", "&About..."}));
  EXPECT_EQ(texts(w.form.PopupMenu1), QStringList({"Setup Bands...", "Reset Spacing", "-",
                                                   "Save Spectrogram &Image..."}));
  EXPECT_EQ(w.form.OpenWaveFile1->shortcut(), QKeySequence::Open);
  EXPECT_EQ(w.form.Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

  w.form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
  w.form.SetupSpectrogram1->trigger();
  EXPECT_TRUE(w.form.SpectrogramDialog().isVisible());
  w.form.Exit1->trigger();
  EXPECT_FALSE(w.form.isVisible());
  EXPECT_FALSE(w.form.SpectrogramDialog().isVisible());
}

// Guards copying: each Edit item, and Ctrl+C on the view with the focus,
// put that view's picture on the clipboard.
TEST(Menus, CopyEachView)
{
  QuietReader quiet;
  Window w;
  w.form.resize(900, 650);
  w.form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.form));
  QClipboard* clip = QGuiApplication::clipboard();
  const auto copied = [clip](QAction* a) {
    clip->clear();
    a->trigger();
    return clip->image().size();
  };
  EXPECT_EQ(copied(w.form.CopyLeftChannel1), w.form.ScopeBand().LeftGraph().InnerRect().size());
  EXPECT_EQ(copied(w.form.CopyRightChannel1), w.form.ScopeBand().RightGraph().InnerRect().size());
  EXPECT_EQ(copied(w.form.CopySpectrum1), w.form.GraphPage().SpectrumGraph().InnerRect().size());
  w.form.ViewPages().setCurrentWidget(&w.form.SpectrogramPage());
  QApplication::processEvents();
  EXPECT_EQ(copied(w.form.CopySpectrogram1), w.form.SpectrogramPage().SpectroGram().size());

  clip->clear();
  w.form.ScopeBand().RightGraph().setFocus();
  QApplication::processEvents();
  QTest::keyClick(&w.form.ScopeBand().RightGraph(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clip->image().size(), w.form.ScopeBand().RightGraph().InnerRect().size());
}

// Guards the colour-band drag and drop: a band dropped on another copies
// its colour; only the bar itself is accepted as a source, and a drop below
// the last band changes nothing.
TEST(Menus, ColorBandDragAndDrop)
{
  QuietReader quiet;
  Window w;
  TSpectroGram& s = w.form.SpectrogramPage().SpectroGram();
  s.resize(500, 330);
  s.LayoutDepthBar();
  TColorBar& bar = *s.DepthBar();
  bool accept = false;
  s.OnBarDragOver(&bar, &bar, 5, 5, TDragState::dsDragMove, accept);
  EXPECT_TRUE(accept);
  s.OnBarDragOver(&bar, &s, 5, 5, TDragState::dsDragMove, accept);
  EXPECT_FALSE(accept);

  bar.SetSelected(2);
  const int y = (bar.EdgeY(9) + bar.EdgeY(10)) / 2;
  ASSERT_EQ(bar.BandAt(y), 10);
  s.OnBarDragDrop(&bar, &bar, 5, y);
  EXPECT_EQ(bar.Edge(10).Color, bar.Edge(2).Color);
  std::vector<TColor> colours;
  for (int k = 0; k < bar.EdgeCount(); ++k)
    colours.push_back(bar.Edge(k).Color);
  s.OnBarDragDrop(&bar, &bar, 5, bar.height() + 20);
  for (int k = 0; k < bar.EdgeCount(); ++k)
    EXPECT_EQ(bar.Edge(k).Color, colours[std::size_t(k)]);
}

// Guards the About dialog: the version from the program file's date, the
// fixed texts, and its designed size at the design font.
TEST(AboutDialog, VersionAndTexts)
{
  EXPECT_EQ(VersionText(QDate(2005, 1, 9)), "Version 0.05.1.9");
  EXPECT_EQ(VersionText(QDate(2026, 12, 31)), "Version 0.26.12.31");
  const QString path = writeTemp("program", "an executable");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2005, 1, 9), QTime(12, 0)),
                               QFileDevice::FileModificationTime));
  file.close();
  EXPECT_EQ(VersionOfFile(path), "Version 0.05.1.9");

  TAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Duvovovi");
  EXPECT_EQ(about.ProductName->text(), "Duvovovi");
  EXPECT_EQ(about.Display1->text(), "Audio Spectrum Analyzer");
  EXPECT_TRUE(about.VersionLabel->text().startsWith("Version 0."));
  EXPECT_FALSE(about.Display3->text().isEmpty());
  EXPECT_FALSE(about.Display4->text().isEmpty());
  EXPECT_EQ(about.size(), QSize(307, 197));
  EXPECT_EQ(about.BitBtn1->geometry(), QRect(104, 160, 89, 29));
  EXPECT_FALSE(about.About2->pixmap().isNull());
}
