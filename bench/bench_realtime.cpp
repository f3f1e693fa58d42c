// SPDX-License-Identifier: GPL-3.0-or-later
// The real-time budget: one captured frame through the main window, counted,
// drawn on the oscilloscope, analysed, shown in the spectrum and added to the
// spectrogram, with the paints it causes, on a shown window under the
// offscreen platform. 44.1 kHz stereo 16-bit at each buffer size; the cost is
// printed as a share of that size's frame period (CPU time). Also shown: that
// repaint requests of frames arriving between two paints merge into one
// paint, so a screen's refresh rate bounds the painting however fast small
// frames come.
#include "analysis/TraceHold.h"
#include "app/SAMain.h"
#include "app/pages/GraphPage.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SARealTime.h"
#include "audio/CaptureHistory.h"
#include "audio/Waveread.h"
#include "graph/Graphbox.h"
#include "spectrogram/Spectrogram.h"

#include "BenchSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
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

// One frame and everything it causes, paints included.
void BM_Frame(benchmark::State& state)
{
  const int n = int(state.range(0));
  const bool spectrogramPage = state.range(1) != 0;
  TForm1& f = Window();
  SetUp(f, n, spectrogramPage);
  const std::vector<std::int16_t> frame = Frame(n);
  const TWaveDataFormat format{44100, 2, 2};
  for (auto _ : state) {
    f.RealTimePage().RealTime().ProcessFrame(frame.data(), n, format);
    QCoreApplication::processEvents();
  }
}

void Sizes(benchmark::internal::Benchmark* b)
{
  for (int page : {0, 1})
    for (int n = 256; n <= 32768; n *= 2)
      b->Args({n, page});
}
BENCHMARK(BM_Frame)->Apply(Sizes)->MeasureProcessCPUTime();

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
  duv::bench::ComparePair(state, duv::bench::CallsForBlock(plain, 20e6), [] {}, withTools, plain);
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

} // namespace

int main(int argc, char** argv)
{
  return duv::bench::RunBenchmarks(argc, argv, true, [](const duv::bench::Results& r) {
    std::printf("\nOne 44.1 kHz stereo 16-bit frame through the window, paints included,\n"
                "as a share of its frame period (CPU time; goal 10 %% or less)\n");
    std::printf("%8s %10s %14s %14s\n", "N", "period ms", "Graph page %", "Spectrogram %");
    for (int n = 256; n <= 32768; n *= 2) {
      const double period = n / SampleRate * 1e9;
      const auto share = [&](int page) {
        const auto t = r.times.find("BM_Frame/" + std::to_string(n) + "/" + std::to_string(page) +
                                    "/process_time");
        return t == r.times.end() ? NAN : 100.0 * t->second / period;
      };
      std::printf("%8d %10.2f %14.2f %14.2f\n", n, period / 1e6, share(0), share(1));
    }
    const double extra = r.Counter("BM_ToolsCost/iterations:40", "a_ns") - r.Counter("BM_ToolsCost/iterations:40", "b_ns");
    std::printf("\nHann window and averaging at N = 256: %.2f %% of the frame period more "
                "(goal 5 %% or less; ratio %.3f, quartiles %.3f .. %.3f)\n",
                100.0 * extra / (256 / SampleRate * 1e9), r.Counter("BM_ToolsCost/iterations:40", "ratio"),
                r.Counter("BM_ToolsCost/iterations:40", "ratio_q1"), r.Counter("BM_ToolsCost/iterations:40", "ratio_q3"));
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
