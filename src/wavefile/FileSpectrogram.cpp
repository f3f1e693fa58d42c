// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/FileSpectrogram.h"

#include "analysis/RealFourier.h"
#include "analysis/SAGlobal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
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

// What every worker shares: the plan, the weights and the conversions.
struct TJob
{
  const TSoundFile& File;
  const TFileSpectrogramSettings& Settings;
  TFramePlan Plan;
  std::int64_t First = 0; // the file's sample at the plan's 0
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
    TFrameFeed feed([&reader](std::int64_t first, std::int64_t count, std::int16_t* left,
                              std::int16_t* right) { reader.Read(first, count, left, right); },
                    reader.SamplesPerChannel(), J.Settings.Channel, J.Mid, J.Settings.Size);
    const std::int64_t first = J.Plan.FirstFrameOf(C0), last = J.Plan.FirstFrameOf(C1);
    Sum.assign(std::size_t(J.Settings.Size / 2 + 1), 0.0);
    // The window goes into the transform's first pass; the power spectrum
    // is added to the column's sum in its last.
    const double* w = J.Settings.Window == TWindowKind::Rectangular ? nullptr : J.Window.data();
    for (std::int64_t j = first; j < last; ++j) {
      // Tiled frames follow each other: read on to this worker's last one.
      const std::int64_t ahead = J.Plan.Tiled ? (last - j) * J.Plan.Hop : 0;
      const double* a = feed.Frame(J.First + J.Plan.Start(j), ahead);
      startColumn(J.Plan.Column(j));
      FFT.AddPower(a, w, Sum.data());
      ++Count;
    }
    flush();
  }

private:
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
  TLineDoubles Sum;
  int Column = -1;
  std::int64_t Count = 0;
};

} // namespace

std::vector<TRowBins> SpectrogramRowBins(int Rows, int Size, double Rate, double FLow, double FHigh,
                                         bool Log)
{
  const int half = Size / 2; // bins 0 .. half
  std::vector<TRowBins> rows(static_cast<std::size_t>(std::max(Rows, 0)));
  if (Rows <= 0 || !(Rate > 0))
    return rows;
  // In bins: the frequencies of the first and the last row.
  const double low = FLow * Size / Rate, high = FHigh * Size / Rate;
  const auto clampBin = [half](double b) { return int(std::clamp<double>(b, 0, half)); };
  const auto row = [&](double centre, double lo, double hi) {
    TRowBins r{clampBin(std::ceil(lo)), clampBin(std::ceil(hi) - 1)};
    if (r.Lo > r.Hi) // more rows than bins: the nearest bin
      r.Lo = r.Hi = clampBin(std::round(centre));
    return r;
  };
  if (Rows == 1) {
    rows[0] = row((low + high) / 2, low, std::floor(high) + 1);
    return rows;
  }
  if (!Log || !(low > 0)) {
    // Row r stands for low + r q and spans half a row either side: bins
    // low + q (r - 1/2) <= b < low + q (r + 1/2).
    const double q = (high - low) / (Rows - 1);
    for (int r = 0; r < Rows; ++r)
      rows[std::size_t(r)] = row(low + r * q, low + (r - 0.5) * q, low + (r + 0.5) * q);
    return rows;
  }
  // Row r stands for low g^r, and spans a factor of sqrt g either side.
  const double lnG = std::log(high / low) / (Rows - 1);
  for (int r = 0; r < Rows; ++r) {
    const double centre = low * std::exp(r * lnG);
    rows[std::size_t(r)] = row(centre, centre * std::exp(-lnG / 2), centre * std::exp(lnG / 2));
  }
  return rows;
}

double SpectrogramLevelOffset(const std::vector<double>& Window, int Bits)
{
  // A sine of amplitude A gives |X| = A sum(w) / 2 at its bin; against the
  // full scale 2^bits / 2 the power |X|^2 reads 0 dB at A = full scale.
  double windowSum = 0;
  for (double w : Window)
    windowSum += w;
  const double fullScale = std::ldexp(1.0, Bits - 1);
  return -20 * std::log10(windowSum / 2 * fullScale);
}

TFrameFeed::TFrameFeed(TReader Read, std::int64_t Samples, TChannelChoice Channel, double Mid,
                       int Size)
    : FRead(std::move(Read)), FSamples(Samples), FChannel(Channel), FMid(Mid), FSize(Size)
{
}

const double* TFrameFeed::Frame(std::int64_t Start, std::int64_t Ahead)
{
  if (Start < FStart || Start + FSize > FStart + FCount)
    fill(Start, FSize + std::clamp<std::int64_t>(Ahead, 0, BlockSamples));
  return FBuffer.data() + (Start - FStart);
}

void TFrameFeed::fill(std::int64_t Start, std::int64_t Count)
{
  if (std::int64_t(FBuffer.size()) < Count) {
    FBuffer.resize(std::size_t(Count));
    FLeft.resize(std::size_t(Count));
    FRight.resize(std::size_t(Count));
  }
  FStart = Start;
  FCount = Count;
  const std::int64_t from = std::clamp<std::int64_t>(0, Start, Start + Count);
  const std::int64_t to = std::clamp(FSamples, from, Start + Count);
  // Silence before and after the file.
  std::fill(FBuffer.begin(), FBuffer.begin() + (from - Start), 0.0);
  std::fill(FBuffer.begin() + (to - Start), FBuffer.begin() + Count, 0.0);
  if (from >= to)
    return;
  const bool right = FChannel != TChannelChoice::Left;
  const bool left = FChannel != TChannelChoice::Right;
  // Arrays in memory that hold the stretch are read where they lie.
  const std::int16_t* l = FLeft.data();
  const std::int16_t* r = FRight.data();
  if (FArrays.Left && to <= FArrays.LeftCount && (!right || to <= FArrays.RightCount)) {
    l = FArrays.Left + from;
    r = right ? FArrays.Right + from : nullptr;
  } else {
    FRead(from, to - from, left ? FLeft.data() : nullptr, right ? FRight.data() : nullptr);
  }
  double* out = FBuffer.data() + (from - Start);
  const std::int64_t m = to - from;
  const double mid = FMid;
  if (FChannel == TChannelChoice::Mix)
    for (std::int64_t i = 0; i < m; ++i)
      out[i] = 0.5 * (double(l[i]) + double(r[i])) - mid;
  else
    for (std::int64_t i = 0; i < m; ++i)
      out[i] = double((left ? l : r)[i]) - mid;
}

TFrameFeed::TReader SoundDataReader(const TSoundData& Data)
{
  // Copies of the arrays share their samples and keep them alive.
  return [channels = Data.Channels](std::int64_t first, std::int64_t count, std::int16_t* left,
                                    std::int16_t* right) {
    std::int16_t* out[2] = {left, right};
    for (std::size_t k = 0; k < 2; ++k) {
      if (!out[k])
        continue;
      const TSoundArray& a = channels[k];
      const std::int64_t have = std::clamp<std::int64_t>(a.size() - first, 0, count);
      if (have > 0)
        std::memcpy(out[k], a.constData() + first, std::size_t(have) * sizeof(std::int16_t));
      std::fill(out[k] + have, out[k] + count, std::int16_t(0));
    }
  };
}

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

  // The stretch, held to the file.
  if (!(s.From >= 0) || !(out.SampleRate > 0))
    throw std::invalid_argument("the time range starts before the file");
  const std::int64_t first = std::min<std::int64_t>(
      std::llround(std::min(s.From * out.SampleRate, 9e18)), data.SamplesPerChannel);
  const std::int64_t last =
      s.To < 0 ? data.SamplesPerChannel
               : std::clamp<std::int64_t>(std::llround(std::min(s.To * out.SampleRate, 9e18)), 0,
                                          data.SamplesPerChannel);
  if (last <= first)
    throw std::invalid_argument("the time range is empty");
  out.From = first / out.SampleRate;
  out.To = last / out.SampleRate;
  // The frequencies, held to half the rate.
  const double nyquist = out.SampleRate / 2;
  out.LogFrequency = s.LogFrequency;
  out.FLow = s.LogFrequency && s.FLow == 0 ? DefaultLogLow(out.SampleRate, s.Size) : s.FLow;
  out.FHigh = s.FHigh < 0 ? nyquist : std::min(s.FHigh, nyquist);
  if (!(out.FLow >= 0) || !(out.FHigh > out.FLow) || (s.LogFrequency && !(out.FLow > 0)))
    throw std::invalid_argument("the frequency range is empty");
  out.Levels.assign(std::size_t(s.Width) * std::size_t(s.Height),
                    -std::numeric_limits<float>::infinity());

  const int hop = SpectrogramHop(s.Window, s.Size);
  TJob job{
      File,
      settings,
      TFramePlan(last - first, s.Width, s.Size, hop),
      first,
      *WindowTable(s.Window, s.Size),
      SpectrogramRowBins(s.Height, s.Size, out.SampleRate, out.FLow, out.FHigh, out.LogFrequency),
      SilentLevel(out.Bits),
      0,
      out};
  job.LevelOffset = SpectrogramLevelOffset(job.Window, out.Bits);

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
