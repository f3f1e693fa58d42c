// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/FileSpectrogram.h"

#include "analysis/RealFourier.h"
#include "analysis/SAGlobal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <thread>

namespace duv {

namespace {

// Which frames there are and which column each one belongs to. Frame starts
// never decrease and columns follow them, so the frames of a run of
// columns are a run of frames.
struct TFramePlan
{
  std::int64_t Samples = 0;
  int Width = 0, Size = 0, Hop = 0;
  bool Tiled = false; // frames a hop apart; else one centred on each column
  std::int64_t Frames = 0;

  TFramePlan(std::int64_t samples, int width, int size, int hop)
      : Samples(samples), Width(width), Size(size), Hop(hop)
  {
    Tiled = samples >= std::int64_t(width) * hop;
    Frames = Tiled ? (samples + hop - 1) / hop : width;
  }

  // The first sample of frame j; before 0 or past the end it reads silence.
  std::int64_t Start(std::int64_t j) const
  {
    if (Tiled)
      return j * Hop - (Size - Hop) / 2; // centred on the hop it stands for
    return std::llround((double(j) + 0.5) * double(Samples) / Width - Size / 2.0);
  }

  int Column(std::int64_t j) const
  {
    if (!Tiled)
      return int(j);
    // The column of the middle of the hop: (j + 1/2) hop W / S, in integers.
    const std::int64_t c = ((2 * j + 1) * Hop * std::int64_t(Width)) / (2 * Samples);
    return int(std::min<std::int64_t>(c, Width - 1));
  }

  // The first frame of column c or later (Frames when there is none).
  std::int64_t FirstFrameOf(int c) const
  {
    std::int64_t lo = 0, hi = Frames;
    while (lo < hi) {
      const std::int64_t mid = lo + (hi - lo) / 2;
      if (Column(mid) < c)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  }
};

// The bins [Lo, Hi] a row shows.
struct TRowBins
{
  int Lo, Hi;
};

std::vector<TRowBins> rowBins(int height, int size)
{
  const int half = size / 2; // bins 0 .. half
  std::vector<TRowBins> rows(static_cast<std::size_t>(height));
  if (height == 1) {
    rows[0] = {0, half};
    return rows;
  }
  // Row r stands for r / (height - 1) of half the rate and spans half a row
  // either side: bins q (r - 1/2) <= b < q (r + 1/2).
  const double q = double(half) / (height - 1);
  for (int r = 0; r < height; ++r) {
    int lo = int(std::ceil((r - 0.5) * q));
    int hi = int(std::ceil((r + 0.5) * q)) - 1;
    lo = std::clamp(lo, 0, half);
    hi = std::clamp(hi, 0, half);
    if (lo > hi) // more rows than bins: the nearest bin
      lo = hi = std::clamp(int(std::lround(r * q)), 0, half);
    rows[std::size_t(r)] = {lo, hi};
  }
  return rows;
}

// What every worker shares: the plan, the weights and the conversions.
struct TJob
{
  const TSoundFile& File;
  const TFileSpectrogramSettings& Settings;
  TFramePlan Plan;
  std::vector<double> Window;
  std::vector<TRowBins> Rows;
  double Mid = 0;         // the silent level of an unsigned width
  double LevelOffset = 0; // dB of a power of 1 against full scale
  TFileSpectrogram& Out;
};

// Computes columns [c0, c1) of the job, reading the file with a reader of
// its own.
class TWorker
{
public:
  TWorker(const TJob& job, int c0, int c1) : J(job), C0(c0), C1(c1) {}

  // The most frames one of its columns averaged.
  std::int64_t MaxCount = 0;

  void Run()
  {
    TSampleReader reader(J.File);
    const int n = J.Settings.Size;
    const std::int64_t first = J.Plan.FirstFrameOf(C0), last = J.Plan.FirstFrameOf(C1);
    Sum.assign(std::size_t(n / 2 + 1), 0.0);
    Buffer.assign(std::size_t(BufferFrames + n), 0.0);
    Left.resize(Buffer.size());
    Right.resize(Buffer.size());
    // The window goes into the transform's first pass; the power spectrum
    // is added to the column's sum in its last.
    const double* w = J.Settings.Window == TWindowKind::Rectangular ? nullptr : J.Window.data();
    for (std::int64_t j = first; j < last; ++j) {
      const double* a = frame(reader, j);
      startColumn(J.Plan.Column(j));
      FFT.AddPower(a, w, Sum.data());
      ++Count;
    }
    flush();
  }

private:
  static constexpr int BufferFrames = 1 << 16;

  // The samples of frame j, read into the buffer when they are not there.
  const double* frame(TSampleReader& reader, std::int64_t j)
  {
    const std::int64_t start = J.Plan.Start(j);
    const int n = J.Settings.Size;
    if (start < BufferStart || start + n > BufferStart + std::int64_t(Buffer.size()))
      fill(reader, start);
    return Buffer.data() + (start - BufferStart);
  }

  void fill(TSampleReader& reader, std::int64_t start)
  {
    const auto count = std::int64_t(Buffer.size());
    const std::int64_t from = std::clamp<std::int64_t>(0, start, start + count);
    const std::int64_t to = std::clamp(J.Plan.Samples, from, start + count);
    BufferStart = start;
    // Silence before and after the file.
    std::fill(Buffer.begin(), Buffer.begin() + (from - start), 0.0);
    std::fill(Buffer.begin() + (to - start), Buffer.end(), 0.0);
    if (from >= to)
      return;
    const TChannelChoice channel = J.Settings.Channel;
    const bool right = channel != TChannelChoice::Left;
    const bool left = channel != TChannelChoice::Right;
    reader.Read(from, to - from, left ? Left.data() : nullptr, right ? Right.data() : nullptr);
    double* out = Buffer.data() + (from - start);
    const std::int64_t m = to - from;
    const double mid = J.Mid;
    if (channel == TChannelChoice::Mix)
      for (std::int64_t i = 0; i < m; ++i)
        out[i] = 0.5 * (double(Left[std::size_t(i)]) + double(Right[std::size_t(i)])) - mid;
    else
      for (std::int64_t i = 0; i < m; ++i)
        out[i] = double((left ? Left : Right)[std::size_t(i)]) - mid;
  }

  // Frames for another column first hand the finished one on.
  void startColumn(int c)
  {
    if (c != Column) {
      flush();
      Column = c;
    }
  }

  // Writes the finished column: the power average of its frames, the
  // strongest bin of each row, in dB.
  void flush()
  {
    if (Count == 0)
      return;
    float* out = J.Out.Levels.data() + std::size_t(Column) * std::size_t(J.Settings.Height);
    const double scale = 1.0 / double(Count);
    for (std::size_t r = 0; r < J.Rows.size(); ++r) {
      double p = 0;
      for (int k = J.Rows[r].Lo; k <= J.Rows[r].Hi; ++k)
        p = std::max(p, Sum[std::size_t(k)]);
      out[r] = float(10 * std::log10(p * scale) + J.LevelOffset);
    }
    MaxCount = std::max(MaxCount, Count);
    std::fill(Sum.begin(), Sum.end(), 0.0);
    Count = 0;
  }

  const TJob& J;
  int C0, C1;
  TRealFourier FFT{J.Settings.Size};
  // On cache lines, as the transform reads and writes them eight at a time.
  TLineDoubles Sum, Buffer;
  std::vector<std::int16_t> Left, Right;
  std::int64_t BufferStart = std::numeric_limits<std::int64_t>::min() / 2;
  int Column = -1;
  std::int64_t Count = 0;
};

} // namespace

int SpectrogramHop(TWindowKind Window, int Size)
{
  const std::array<double, 5> terms = WindowTerms(Window);
  int highest = 0;
  for (int k = 0; k < int(terms.size()); ++k)
    if (terms[std::size_t(k)] != 0)
      highest = k;
  int parts = 1;
  while (parts <= highest)
    parts *= 2;
  return std::max(Size / parts, 1);
}

TFileSpectrogram ComputeFileSpectrogram(const TSoundFile& File,
                                        const TFileSpectrogramSettings& Settings)
{
  const TFileSpectrogramSettings& s = Settings;
  if (!IsBufferSize(s.Size))
    throw std::invalid_argument("the frame size is not a buffer size");
  if (s.Width < 1 || s.Height < 1)
    throw std::invalid_argument("the picture has no columns or no rows");
  const TSoundData& data = File.SoundData();
  if (s.Channel == TChannelChoice::Right && data.Format.nChannels < 2)
    throw std::invalid_argument("the file has no right channel");

  // A mono file's mix is its one channel.
  TFileSpectrogramSettings settings = Settings;
  if (data.Format.nChannels < 2)
    settings.Channel = TChannelChoice::Left;

  TFileSpectrogram out;
  out.Width = s.Width;
  out.Height = s.Height;
  out.Bits = data.Format.wBitsPerSample;
  out.SampleRate = data.Format.nSamplesPerSec;
  out.Seconds = out.SampleRate > 0 ? data.SamplesPerChannel / out.SampleRate : 0;
  out.Levels.assign(std::size_t(s.Width) * std::size_t(s.Height),
                    -std::numeric_limits<float>::infinity());

  const int hop = SpectrogramHop(s.Window, s.Size);
  TJob job{File,
           settings,
           TFramePlan(data.SamplesPerChannel, s.Width, s.Size, hop),
           *WindowTable(s.Window, s.Size),
           rowBins(s.Height, s.Size),
           0,
           0,
           out};
  if (out.Bits == 8)
    job.Mid = 128;
  else if (out.Bits == 4)
    job.Mid = 7.5;
  // A sine of amplitude A gives |X| = A sum(w) / 2 at its bin; against the
  // full scale 2^bits / 2 the power |X|^2 reads 0 dB at A = full scale.
  double windowSum = 0;
  for (double w : job.Window)
    windowSum += w;
  const double fullScale = std::ldexp(1.0, out.Bits - 1);
  job.LevelOffset = -20 * std::log10(windowSum / 2 * fullScale);

  int threads = s.Threads;
  if (threads <= 0) {
    // Worth a thread when the transforms take tens of milliseconds.
    const bool longFile = job.Plan.Frames * std::int64_t(s.Size) >= (std::int64_t(1) << 22);
    threads = longFile && std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  }
  threads = std::clamp(threads, 1, s.Width);
  out.ThreadsUsed = threads;

  std::vector<TWorker> workers;
  workers.reserve(std::size_t(threads));
  for (int t = 0; t < threads; ++t)
    workers.emplace_back(job, int(std::int64_t(s.Width) * t / threads),
                         int(std::int64_t(s.Width) * (t + 1) / threads));
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(threads));
  std::vector<std::thread> running;
  for (int t = 1; t < threads; ++t)
    running.emplace_back([&, t] {
      try {
        workers[std::size_t(t)].Run();
      } catch (...) {
        errors[std::size_t(t)] = std::current_exception();
      }
    });
  try {
    workers[0].Run();
  } catch (...) {
    errors[0] = std::current_exception();
  }
  for (std::thread& t : running)
    t.join();
  for (const std::exception_ptr& e : errors)
    if (e)
      std::rethrow_exception(e);
  for (const TWorker& w : workers)
    out.FramesPerColumn = std::max(out.FramesPerColumn, w.MaxCount);
  return out;
}

} // namespace duv
