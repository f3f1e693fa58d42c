// SPDX-License-Identifier: GPL-3.0-or-later
// The real-time budget: one captured frame through the main window, counted,
// drawn on the oscilloscope, analysed, shown in the spectrum and added to the
// spectrogram, with the paints it causes, on a shown window under the
// offscreen platform. 44.1 kHz stereo 16-bit at each buffer size, on the
// Graph page and on the Spectrogram page, each quiet and with a process
// spinning on the other core; the cost is printed as a share of that size's
// frame period (process CPU time) with its spread. Also shown: that
// repaint requests of frames arriving between two paints merge into one
// paint, so a screen's refresh rate bounds the painting however fast small
// frames come.
//
// `bench_realtime --dump=DIR` runs a fixed sequence of frames instead and
// writes their levels and the window's pixels, so that two builds can be
// compared byte for byte (see Dump).
#include "analysis/TraceHold.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SARealTime.h"
#include "app/pages/SpectrogramPage.h"
#include "audio/CaptureHistory.h"
#include "audio/Waveread.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"

#include "BenchSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

using namespace duv;

namespace {

constexpr double SampleRate = 44100.0;

// Counts the paints a widget gets.
class PaintCounter : public QObject
{
public:
  int Paints = 0;
  bool eventFilter(QObject* o, QEvent* e) override
  {
    if (e->type() == QEvent::Paint)
      ++Paints;
    return QObject::eventFilter(o, e);
  }
};

// One window for all runs, set up for 44.1 kHz stereo 16-bit. It goes before
// the application object does (see main).
std::unique_ptr<TForm1>& WindowPtr()
{
  static std::unique_ptr<TForm1> form;
  return form;
}

TForm1& Window()
{
  std::unique_ptr<TForm1>& form = WindowPtr();
  if (!form) {
    SetWaveMessageHandler([](const QString&) {}); // no device is needed
    auto f = std::make_unique<TForm1>();
    // The format is set on the reader itself, whatever input is present.
    f->Reader().SetComboBox(nullptr);
    f->Reader().SetWaveType(wf44Khz_Stereo_16Bit);
    // The displays for that format from the start, so every run draws the
    // frame on its own axes.
    f->RealTimePage().FormatComboChange();
    f->show();
    QCoreApplication::processEvents();
    form = std::move(f);
  }
  return *form;
}

// A stereo frame: a tone with a little noise on both channels.
std::vector<std::int16_t> Frame(int n)
{
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0, 300);
  std::vector<std::int16_t> v(2 * std::size_t(n));
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 2; ++c)
      v[2 * std::size_t(i) + c] =
          std::int16_t(std::lround(12000 * std::sin(2 * M_PI * 997 * i / SampleRate) + noise(gen)));
  return v;
}

void SetUp(TForm1& f, int n, bool spectrogramPage)
{
  f.RealTimePage().SetBufferSize(n); // sets the displays up for n
  f.ViewPages().setCurrentIndex(spectrogramPage ? 1 : 0);
  QCoreApplication::processEvents();
}

// One frame and everything it causes, paints included, quiet or with the
// other core busy. The frames are timed in blocks of about 10 ms of the
// process's CPU time; the counters give the median cost of a frame over the
// blocks and its quartiles, as a share of the frame period.
void BM_Frame(benchmark::State& state)
{
  const int n = int(state.range(0));
  const bool spectrogramPage = state.range(1) != 0;
  const bool busy = state.range(2) != 0;
  TForm1& f = Window();
  SetUp(f, n, spectrogramPage);
  const std::vector<std::int16_t> frame = Frame(n);
  const TWaveDataFormat format{44100, 2, 2};
  std::unique_ptr<duv::bench::TBusyCore> neighbour;
  if (busy) {
    neighbour = std::make_unique<duv::bench::TBusyCore>();
    if (!neighbour->Busy()) {
      state.SkipWithError("no other core to keep busy");
      return;
    }
  }
  std::vector<double> perFrame;
  double blockStart = duv::bench::ProcessCpuNs();
  int inBlock = 0;
  for (auto _ : state) {
    f.RealTimePage().RealTime().ProcessFrame(frame.data(), n, format);
    QCoreApplication::processEvents();
    ++inBlock;
    const double now = duv::bench::ProcessCpuNs();
    if (now - blockStart >= 10e6) {
      perFrame.push_back((now - blockStart) / inBlock);
      blockStart = now;
      inBlock = 0;
    }
  }
  if (perFrame.empty() && inBlock > 0)
    perFrame.push_back((duv::bench::ProcessCpuNs() - blockStart) / inBlock);
  const double period = n / SampleRate * 1e9;
  state.counters["share"] = 100 * duv::bench::Quantile(perFrame, 0.5) / period;
  state.counters["share_q1"] = 100 * duv::bench::Quantile(perFrame, 0.25) / period;
  state.counters["share_q3"] = 100 * duv::bench::Quantile(perFrame, 0.75) / period;
  state.counters["blocks"] = double(perFrame.size());
}

void Sizes(benchmark::internal::Benchmark* b)
{
  for (int page : {0, 1})
    for (int n = 256; n <= 32768; n *= 2)
      for (int busy : {0, 1})
        b->Args({n, page, busy});
}
BENCHMARK(BM_Frame)->Apply(Sizes)->MeasureProcessCPUTime()->MinTime(1.0);

// The measurement tools' cost per frame: the same 256-sample frame with a
// Hann window and the averaged trace drawn over the live one (A) against
// the plain frame (B), the two interleaved in blocks, in CPU time.
void BM_ToolsCost(benchmark::State& state)
{
  TForm1& f = Window();
  SetUp(f, 256, false);
  const std::vector<std::int16_t> frame = Frame(256);
  const auto run = [&f, &frame](bool tools) {
    f.GraphPage().SpectrumView().SetWindow(tools ? TWindowKind::Hann : TWindowKind::Rectangular);
    f.GraphPage().SpectrumView().Hold().SetMode(tools ? TTraceMode::Average : TTraceMode::Live);
    f.RealTimePage().RealTime().ProcessFrame(frame.data(), 256, {44100, 2, 2});
    QCoreApplication::processEvents();
  };
  auto withTools = [&run] { run(true); };
  auto plain = [&run] { run(false); };
  duv::bench::ComparePair(
      state, duv::bench::CallsForBlock(plain, 20e6), [] {}, withTools, plain);
  f.GraphPage().SpectrumView().SetWindow(TWindowKind::Rectangular);
  f.GraphPage().SpectrumView().Hold().SetMode(TTraceMode::Live);
}
BENCHMARK(BM_ToolsCost)->Iterations(40);

// What keeping the capture history costs a live frame: the 256-sample frame
// as the reader hands it over, kept and shown (A), against the same frame
// shown only (B), interleaved in blocks, in CPU time. The history is filled
// first, so that its ring wraps and no block is still to be allocated.
void BM_HistoryCost(benchmark::State& state)
{
  TForm1& f = Window();
  SetUp(f, 256, false);
  const std::vector<std::int16_t> frame = Frame(256);
  const TWaveDataFormat format{44100, 2, 2};
  TRealTimePage& page = f.RealTimePage();
  page.SetHistoryMinutes(1);
  for (std::int64_t i = 0; i < 61 * 44100 / 256; ++i)
    page.WaveReader1Recorded(frame.data(), 256, format);
  auto kept = [&] {
    page.WaveReader1Recorded(frame.data(), 256, format);
    page.WaveReader1WaveIn(frame.data(), 256, format);
    QCoreApplication::processEvents();
  };
  auto shown = [&] {
    page.WaveReader1WaveIn(frame.data(), 256, format);
    QCoreApplication::processEvents();
  };
  duv::bench::ComparePair(
      state, duv::bench::CallsForBlock(shown, 20e6), [] {}, kept, shown);
  state.counters["history_bytes"] = double(page.History().MemoryBytes());
  state.counters["hour_bytes"] = double(TCaptureHistory::BytesFor(60, format));
  page.SetHistoryMinutes(TCaptureHistory::DefaultMinutes);
}
BENCHMARK(BM_HistoryCost)->Iterations(40);

// Eight frames arriving between two paints: each is counted, analysed and
// added to the spectrogram, and the views are painted once.
void BM_BurstOfEight(benchmark::State& state)
{
  TForm1& f = Window();
  SetUp(f, 256, false);
  const std::vector<std::int16_t> frame = Frame(256);
  PaintCounter paints;
  f.GraphPage().SpectrumGraph().installEventFilter(&paints);
  int bursts = 0;
  for (auto _ : state) {
    for (int i = 0; i < 8; ++i)
      f.RealTimePage().RealTime().ProcessFrame(frame.data(), 256, {44100, 2, 2});
    QCoreApplication::processEvents();
    ++bursts;
  }
  f.GraphPage().SpectrumGraph().removeEventFilter(&paints);
  state.counters["paints_per_burst"] = double(paints.Paints) / std::max(bursts, 1);
}
BENCHMARK(BM_BurstOfEight)->MeasureProcessCPUTime();

// A fixed run of frames through the window, for comparing two builds: the
// levels of every frame (its magnitudes, levels, spectrogram line, DC term,
// peak and second trace) appended as raw doubles to DIR/levels.bin, and the
// window as the screen holds it after each frame's paints to
// DIR/caseCC_frameF.png. Two builds that show the same must write the same
// bytes.
struct TDumpCase
{
  int N;
  bool SpectrogramPage;
  TWindowKind Window;
  TTraceMode Mode;
  bool Log;
  bool Round;
  bool Mono8; // 22.05 kHz mono 8-bit frames, else 44.1 kHz stereo 16-bit
  bool Zoom;
};

void AppendDoubles(QFile& out, const std::vector<double>& v)
{
  const auto count = std::uint64_t(v.size());
  out.write(reinterpret_cast<const char*>(&count), sizeof count);
  out.write(reinterpret_cast<const char*>(v.data()), qint64(v.size() * sizeof(double)));
}

int Dump(const QString& dir)
{
  QDir().mkpath(dir);
  QFile levels(dir + "/levels.bin");
  if (!levels.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return 1;
  using W = TWindowKind;
  using M = TTraceMode;
  const TDumpCase cases[] = {
      {256, false, W::Rectangular, M::Live, false, false, false, false},
      {256, true, W::Rectangular, M::Live, false, false, false, false},
      {1024, false, W::Hann, M::Average, false, false, false, false},
      {1024, true, W::Hann, M::Average, true, false, false, false},
      {4096, false, W::Blackman, M::PeakHold, true, true, false, false},
      {4096, true, W::FlatTop, M::Live, false, true, false, false},
      {2048, false, W::Rectangular, M::Live, false, false, true, false},
      {2048, true, W::Hamming, M::Average, false, false, true, false},
      {512, false, W::Rectangular, M::Average, false, false, false, true},
      {512, true, W::Rectangular, M::Live, true, true, false, true},
      {32768, false, W::Hann, M::PeakHold, false, false, false, false},
      {32768, true, W::Rectangular, M::Live, false, false, false, false},
  };
  TForm1& f = Window();
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> tone(50, 10000);
  std::normal_distribution<double> noise(0, 1);
  int caseIndex = 0;
  for (const TDumpCase& c : cases) {
    SetUp(f, c.N, c.SpectrogramPage);
    f.GraphPage().SetWindow(c.Window);
    f.GraphPage().SetTraceMode(c.Mode);
    f.GraphPage().SetLogFrequency(c.Log);
    f.SpectrogramPage().SetLogFrequency(c.Log);
    f.GraphPage().SetRoundTicks(c.Round);
    f.SpectrogramPage().SetRoundTicks(c.Round);
    const double rate = c.Mono8 ? 22050 : SampleRate;
    for (int frame = 0; frame < 6; ++frame) {
      const double f1 = tone(gen), f2 = tone(gen) / 3, level = 0.1 + 0.15 * frame;
      const double spread = frame == 3 ? 0 : 0.01 * (frame + 1);
      std::vector<double> wave(std::size_t(c.N) * 2);
      for (std::size_t i = 0; i < wave.size(); ++i) {
        const double t = double(i / 2) / rate;
        wave[i] = level * std::sin(2 * M_PI * (i % 2 ? f2 : f1) * t) +
                  0.2 * std::sin(2 * M_PI * f2 * t) + spread * noise(gen);
      }
      if (c.Mono8) {
        std::vector<std::uint8_t> bytes(std::size_t(c.N));
        for (int i = 0; i < c.N; ++i)
          bytes[std::size_t(i)] =
              std::uint8_t(std::clamp(std::lround(128 + 127 * wave[2 * std::size_t(i)]), 0L, 255L));
        f.RealTimePage().RealTime().ProcessFrame(bytes.data(), c.N, {22050, 1, 1});
      } else {
        std::vector<std::int16_t> words(wave.size());
        for (std::size_t i = 0; i < wave.size(); ++i)
          words[i] = std::int16_t(std::clamp(std::lround(32767 * wave[i]), -32768L, 32767L));
        f.RealTimePage().RealTime().ProcessFrame(words.data(), c.N, {44100, 2, 2});
      }
      if (c.Zoom && frame == 0) {
        // The user's zoom, which later frames keep.
        TAxisParams& x = f.GraphPage().SpectrumGraph().XAxis();
        x.SetMin(2000);
        x.SetMax(rate / 4);
        f.SpectrogramPage().SpectroGram().SetFrequencyView({1500, rate / 5});
      }
      QCoreApplication::processEvents();

      const TSpectrumFrame& s = f.GraphPage().SpectrumView().LastFrame();
      AppendDoubles(levels, s.Magnitude);
      AppendDoubles(levels, s.X);
      AppendDoubles(levels, s.Y);
      AppendDoubles(levels, s.SpectrumLine);
      AppendDoubles(levels, f.GraphPage().SpectrumView().Hold().Levels());
      AppendDoubles(levels,
                    {s.DCOffset, s.Peak ? s.Peak->Frequency : NAN, s.Peak ? s.Peak->Level : NAN});
      // What the screen holds, without painting anything again.
      const QImage screen = f.screen()->grabWindow(f.winId()).toImage();
      if (screen.isNull() || !screen.save(QString("%1/case%2_frame%3.png")
                                              .arg(dir)
                                              .arg(caseIndex, 2, 10, QChar('0'))
                                              .arg(frame)))
        return 1;
    }
    f.GraphPage().SetWindow(W::Rectangular);
    f.GraphPage().SetTraceMode(M::Live);
    f.GraphPage().SetLogFrequency(false);
    f.SpectrogramPage().SetLogFrequency(false);
    f.GraphPage().SetRoundTicks(false);
    f.SpectrogramPage().SetRoundTicks(false);
    ++caseIndex;
  }
  return 0;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc == 2 && QString(argv[1]).startsWith("--dump=")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int code = 0;
    {
      QApplication app(argc, argv);
      code = Dump(QString(argv[1]).mid(7));
      WindowPtr().reset();
    }
    return code;
  }
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Results& r) {
    std::printf("\nOne 44.1 kHz stereo 16-bit frame through the window, paints included,\n"
                "as a share of its frame period: the median of 10 ms blocks of process CPU\n"
                "time, with the quartiles; quiet, and with a spinning process on the other\n"
                "core (goal 3 %% or less at N = 256)\n");
    std::printf("%6s %9s  %-20s %-20s  %-20s %-20s\n", "N", "period ms", "Graph quiet %",
                "Graph busy %", "Spectrogram quiet %", "Spectrogram busy %");
    for (int n = 256; n <= 32768; n *= 2) {
      const double period = n / SampleRate * 1e9;
      const auto share = [&](int page, int busy) {
        const std::string name = "BM_Frame/" + std::to_string(n) + "/" + std::to_string(page) +
                                 "/" + std::to_string(busy) + "/min_time:1.000/process_time";
        char text[64];
        std::snprintf(text, sizeof text, "%5.2f (%5.2f..%5.2f)", r.Counter(name, "share"),
                      r.Counter(name, "share_q1"), r.Counter(name, "share_q3"));
        return std::string(text);
      };
      std::printf("%6d %9.2f  %-20s %-20s  %-20s %-20s\n", n, period / 1e6, share(0, 0).c_str(),
                  share(0, 1).c_str(), share(1, 0).c_str(), share(1, 1).c_str());
    }
    const double extra = r.Counter("BM_ToolsCost/iterations:40", "a_ns") -
                         r.Counter("BM_ToolsCost/iterations:40", "b_ns");
    std::printf("\nHann window and averaging at N = 256: %.2f %% of the frame period more "
                "(goal 5 %% or less; ratio %.3f, quartiles %.3f .. %.3f)\n",
                100.0 * extra / (256 / SampleRate * 1e9),
                r.Counter("BM_ToolsCost/iterations:40", "ratio"),
                r.Counter("BM_ToolsCost/iterations:40", "ratio_q1"),
                r.Counter("BM_ToolsCost/iterations:40", "ratio_q3"));
    const char* history = "BM_HistoryCost/iterations:40";
    std::printf("\nCapture history at N = 256: ratio %.3f (quartiles %.3f .. %.3f; goal within "
                "1.02), %.2f %% of the frame period more; a full minute of 44.1 kHz stereo "
                "16-bit holds %.1f MB, an hour %.0f MB\n",
                r.Counter(history, "ratio"), r.Counter(history, "ratio_q1"),
                r.Counter(history, "ratio_q3"),
                100.0 * (r.Counter(history, "a_ns") - r.Counter(history, "b_ns")) /
                    (256 / SampleRate * 1e9),
                r.Counter(history, "history_bytes") / 1e6, r.Counter(history, "hour_bytes") / 1e6);
    const double paints = r.Counter("BM_BurstOfEight/process_time", "paints_per_burst");
    std::printf("\nEight frames between two paints: %.2f paints of the spectrum graph\n", paints);
    WindowPtr().reset();
  });
}
