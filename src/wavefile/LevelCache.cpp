// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/LevelCache.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace duv {

// Columns of one tile to compute: Count from First, in the bands from
// Key.Band on, one frame each or whole; a pass job also averages the levels
// above its own, Derive of them.
struct TLevelCache::TJob
{
  TTileKey Key;
  int Bands = 1;
  int First = 0, Count = 0;
  bool Sampled = false;
  int Derive = 0;
  bool Pass = false;
  std::uint64_t Generation = 0;
  std::atomic<bool> Cancelled{false};

  bool SameWork(const TJob& o) const
  {
    return Key == o.Key && Bands == o.Bands && Sampled == o.Sampled;
  }
  bool Covers(const TJob& o) const
  {
    return SameWork(o) && First <= o.First && First + Count >= o.First + o.Count;
  }
};

// Finished columns of one band of one tile. Last: the job's final delivery.
struct TLevelCache::TResult
{
  std::uint64_t Generation = 0;
  TTileKey Key;
  int First = 0, Count = 0;
  TLevelQuality Quality = TLevelQuality::None;
  int Bins = 0;
  std::vector<float> Levels;
  bool PassEnd = false;
};

// What a worker thread keeps between jobs: a computer per transform size
// for the source of now.
class TLevelCache::TWorker
{
public:
  TLevelComputer& Computer(const std::shared_ptr<const TLevelSource>& Source, int Size)
  {
    if (Source != FSource) {
      FComputers.clear();
      FSource = Source;
    }
    std::unique_ptr<TLevelComputer>& c = FComputers[Size];
    if (!c)
      c = std::make_unique<TLevelComputer>(*FSource, Size);
    return *c;
  }
  std::vector<double> Power;
  std::vector<int> Frames;

private:
  std::shared_ptr<const TLevelSource> FSource;
  std::map<int, std::unique_ptr<TLevelComputer>> FComputers;
};

namespace {
// A view's job hands over what it has at least this often, so that long
// columns (large transforms, whole columns of many frames) show as they come.
constexpr auto DeliverEvery = std::chrono::milliseconds(30);
constexpr int DeliverColumns = 32;
// The margin computed either side of what is shown, as a share of its span.
constexpr double MarginShare = 0.25;
// The powers a pass job keeps to average them up.
constexpr std::size_t PassJobBytes = std::size_t(4) << 20;
} // namespace

TLevelCache::TLevelCache(int Threads, QObject* Parent) : QObject(Parent)
{
  if (Threads <= 0)
    Threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  for (int i = 0; i < Threads; ++i)
    FWorkers.emplace_back([this] { Work(); });
}

TLevelCache::~TLevelCache()
{
  {
    const std::lock_guard<std::mutex> lock(FLock);
    FStop = true;
    for (const auto& j : FRunning)
      j->Cancelled = true;
  }
  FWake.notify_all();
  for (std::thread& t : FWorkers)
    t.join();
}

void TLevelCache::Stop()
{
  // Under the lock: no worker takes a job of the old file after this.
  const std::lock_guard<std::mutex> lock(FLock);
  ++FGeneration;
  for (const auto& j : FRunning)
    j->Cancelled = true;
  FQueue.clear();
  FPass.clear();
  FOutbox.clear();
  FWorkSource.reset();
}

void TLevelCache::Cancel()
{
  Stop();
}

void TLevelCache::Clear()
{
  Stop();
  FSource.reset();
  FTiles.clear();
  FTileBytes = 0;
  FPassJobs = FPassCollected = 0;
  FChoice = {};
}

void TLevelCache::SetSource(const TSoundData& Data, int Size, TWindowKind Window)
{
  Clear();
  auto source = std::make_shared<TLevelSource>();
  source->Data = Data;
  source->Window = Window;
  const std::int64_t samples = source->Samples();
  if (samples <= 0 || !(source->Rate() > 0))
    return; // nothing to show
  FSource = source;
  FBaseSize = Size;
  // The pass's level: columns no finer than the hop (each of whole frames),
  // and few enough to keep within PassBytes.
  const int hop = SpectrogramHop(Window, Size);
  const std::size_t columnBytes = std::size_t(Size / 2 + 1) * sizeof(float);
  FPassLevel = 0;
  while ((std::int64_t(1) << FPassLevel) < hop ||
         std::size_t(LevelColumns(samples, FPassLevel)) * columnBytes > PassBytes)
    ++FPassLevel;
  // A job keeps the powers of its columns to average them up: a tile's,
  // or fewer columns of a large transform, and as many levels up as they
  // make.
  int jobColumns = TileColumns, jobLevels = 8;
  while (jobColumns > 16 &&
         std::size_t(jobColumns) * std::size_t(Size / 2 + 1) * sizeof(double) > PassJobBytes) {
    jobColumns /= 2;
    --jobLevels;
  }
  FPassDerive = std::min(jobLevels, std::max(TopLevel(samples) - FPassLevel, 0));
  const std::int64_t columns = LevelColumns(samples, FPassLevel);
  std::vector<std::shared_ptr<TJob>> pass;
  for (std::int64_t c = 0; c < columns; c += jobColumns) {
    auto job = std::make_shared<TJob>();
    job->Key = {Size, FPassLevel, c / TileColumns, 0};
    job->Bands = BandCount(Size);
    job->First = int(c % TileColumns);
    job->Count = int(std::min<std::int64_t>(jobColumns, columns - c));
    job->Derive = FPassDerive;
    job->Pass = true;
    pass.push_back(std::move(job));
  }
  FPassJobs = int(pass.size());
  {
    const std::lock_guard<std::mutex> lock(FLock);
    FWorkSource = source;
    for (auto& j : pass)
      j->Generation = FGeneration;
    FPass = std::move(pass);
    FPassCentre = 0;
  }
  FWake.notify_all();
}

bool TLevelCache::Missing(TTileKey Key, int Bands, int& First, int& Count,
                          TLevelQuality Quality) const
{
  int lo = First + Count, hi = First - 1;
  std::array<const TLevelTile*, 64> tiles{};
  Bands = std::min(Bands, int(tiles.size()));
  for (int b = 0; b < Bands; ++b) {
    const auto it = FTiles.find({Key.Size, Key.Level, Key.Tile, Key.Band + b});
    tiles[std::size_t(b)] = it == FTiles.end() ? nullptr : it->second.get();
  }
  for (int c = First; c < First + Count; ++c)
    for (int b = 0; b < Bands; ++b) {
      const TLevelTile* t = tiles[std::size_t(b)];
      if (!t || t->Quality[std::size_t(c)] < Quality) {
        lo = std::min(lo, c);
        hi = std::max(hi, c);
        break;
      }
    }
  if (hi < lo)
    return false;
  First = lo;
  Count = hi - lo + 1;
  return true;
}

void TLevelCache::Want(const TLevelView& View)
{
  ++FStamp;
  if (!FSource || View.Width <= 0 || View.Height <= 0 || !(View.To > View.From))
    return;
  const std::int64_t samples = FSource->Samples();
  const double rate = FSource->Rate();
  FChoice = ChooseLevels(View, FBaseSize, rate);
  FChoice.Level = std::min(FChoice.Level, TopLevel(samples));
  const int size = FChoice.Size, level = FChoice.Level;
  const double width = std::ldexp(1.0, level);
  const std::int64_t columns = LevelColumns(samples, level);

  // The bands the view's frequencies need.
  const std::vector<TRowBins> rows = SpectrogramRowBins(2, size, rate, std::max(View.FLow, 0.0),
                                                        std::max(View.FHigh, View.FLow), View.Log);
  const int b0 = BandOf(size, rows.front().Lo), b1 = BandOf(size, rows.back().Hi);
  // The pass brings whole columns of its levels; a view of them needs
  // only a first picture while it runs.
  const bool passLevels = size == FBaseSize && level >= FPassLevel && level <= PassTop();
  const bool single =
      level < 30 && (std::int64_t(1) << level) <= SpectrogramHop(FSource->Window, size);

  std::vector<std::shared_ptr<TJob>> wanted;
  const auto request = [&](std::int64_t c0, std::int64_t c1, bool sampled) {
    c0 = std::max<std::int64_t>(c0, 0);
    c1 = std::min(c1, columns);
    if (c0 >= c1)
      return;
    // Tiles from the middle of the stretch outwards.
    const std::int64_t t0 = c0 / TileColumns, t1 = (c1 - 1) / TileColumns;
    const std::int64_t mid = (t0 + t1) / 2;
    std::vector<std::int64_t> order;
    for (std::int64_t t = t0; t <= t1; ++t)
      order.push_back(t);
    std::stable_sort(order.begin(), order.end(), [mid](std::int64_t a, std::int64_t b) {
      return std::llabs(a - mid) < std::llabs(b - mid);
    });
    for (std::int64_t t : order) {
      auto job = std::make_shared<TJob>();
      job->Key = {size, level, t, b0};
      job->Bands = b1 - b0 + 1;
      job->First = int(std::max(c0, t * TileColumns) - t * TileColumns);
      job->Count = int(std::min(c1, (t + 1) * TileColumns) - t * TileColumns) - job->First;
      job->Sampled = sampled;
      const TLevelQuality q = sampled ? TLevelQuality::Sampled : TLevelQuality::Full;
      if (Missing(job->Key, job->Bands, job->First, job->Count, q))
        wanted.push_back(std::move(job));
    }
  };
  const auto stretch = [&](double from, double to) {
    const std::int64_t c0 = std::int64_t(std::floor(std::max(from, 0.0) / width));
    const std::int64_t c1 = std::int64_t(std::ceil(std::min(to, double(samples)) / width));
    // One frame per column at once, where a column holds more than one.
    if (!single)
      request(c0, c1, true);
    if (!passLevels)
      request(c0, c1, false);
  };
  const double margin = (View.To - View.From) * MarginShare;
  stretch(View.From, View.To);
  stretch(View.From - margin, View.From);
  stretch(View.To, View.To + margin);

  {
    const std::lock_guard<std::mutex> lock(FLock);
    // Work that still serves the view goes on; the rest stops.
    for (const auto& r : FRunning) {
      if (r->Pass)
        continue;
      const bool useful =
          std::any_of(wanted.begin(), wanted.end(), [&](const auto& w) { return r->SameWork(*w); });
      if (!useful)
        r->Cancelled = true;
    }
    FQueue.clear();
    for (auto& w : wanted) {
      const bool running = std::any_of(FRunning.begin(), FRunning.end(), [&](const auto& r) {
        return !r->Cancelled && r->Covers(*w);
      });
      if (running)
        continue;
      w->Generation = FGeneration;
      FQueue.push_back(std::move(w));
    }
    // The pass's tiles nearest to what is shown first.
    const double middle = (View.From + View.To) / 2;
    FPassCentre = std::int64_t(std::max(middle, 0.0) / std::ldexp(1.0, FPassLevel)) / TileColumns;
  }
  FWake.notify_all();
}

std::shared_ptr<TLevelCache::TJob> TLevelCache::NextJob()
{
  while (!FQueue.empty()) {
    std::shared_ptr<TJob> job = std::move(FQueue.front());
    FQueue.pop_front();
    if (!job->Cancelled)
      return job;
  }
  if (FPass.empty())
    return nullptr;
  const auto nearest =
      std::min_element(FPass.begin(), FPass.end(), [this](const auto& a, const auto& b) {
        return std::llabs(a->Key.Tile - FPassCentre) < std::llabs(b->Key.Tile - FPassCentre);
      });
  std::shared_ptr<TJob> job = std::move(*nearest);
  FPass.erase(nearest);
  return job;
}

void TLevelCache::Work()
{
  TWorker worker;
  for (;;) {
    std::shared_ptr<TJob> job;
    std::shared_ptr<const TLevelSource> source;
    {
      std::unique_lock<std::mutex> lock(FLock);
      FWake.wait(lock, [this] { return FStop || !FQueue.empty() || !FPass.empty(); });
      if (FStop)
        return;
      job = NextJob();
      if (!job)
        continue;
      if (job->Generation == FGeneration)
        source = FWorkSource;
      FRunning.push_back(job);
    }
    if (source)
      Run(*job, source, worker);
    {
      const std::lock_guard<std::mutex> lock(FLock);
      FRunning.erase(std::find(FRunning.begin(), FRunning.end(), job));
    }
    FDone.notify_all();
  }
}

void TLevelCache::Run(TJob& Job, const std::shared_ptr<const TLevelSource>& Source, TWorker& Worker)
{
  TLevelComputer& computer = Worker.Computer(Source, Job.Key.Size);
  const int bins = computer.Bins();
  const std::int64_t columns = LevelColumns(Source->Samples(), Job.Key.Level);
  const std::int64_t base = Job.Key.Tile * TileColumns;
  const int count = int(std::clamp<std::int64_t>(columns - base - Job.First, 0, Job.Count));
  const TLevelQuality quality = Job.Sampled && !computer.SingleFrame(Job.Key.Level)
                                    ? TLevelQuality::Sampled
                                    : TLevelQuality::Full;
  // A pass job keeps its powers for the levels above; a view's job needs a
  // column at a time.
  const int kept = Job.Pass ? count : std::min(count, DeliverColumns);
  Worker.Power.resize(std::size_t(kept) * std::size_t(bins));
  Worker.Frames.resize(std::size_t(kept));

  // Hands over columns [from, from + n) of level Level, whose powers start at
  // power, band by band.
  std::vector<TResult> out;
  const auto handOver = [&](const TTileKey& key, int from, int n, const double* power,
                            const int* frames, bool last) {
    for (int b = Job.Key.Band; b < Job.Key.Band + Job.Bands; ++b) {
      const TBinSpan span = BandSpan(Job.Key.Size, b);
      TResult r;
      r.Generation = Job.Generation;
      r.Key = {key.Size, key.Level, key.Tile, b};
      r.First = from;
      r.Count = n;
      r.Quality = quality;
      r.Bins = span.Count;
      r.Levels.resize(std::size_t(n) * std::size_t(span.Count));
      for (int c = 0; c < n; ++c) {
        const double* p = power + std::size_t(c) * std::size_t(bins) + span.First;
        float* l = r.Levels.data() + std::size_t(c) * std::size_t(span.Count);
        computer.Levels(p, span.Count, frames[c], l);
      }
      r.PassEnd = last && Job.Pass && b == Job.Key.Band + Job.Bands - 1;
      out.push_back(std::move(r));
    }
  };

  auto since = std::chrono::steady_clock::now();
  int pending = 0; // columns computed, not handed over (a view's job)
  for (int i = 0; i < count; ++i) {
    if (Job.Cancelled)
      break;
    const int slot = Job.Pass ? i : pending;
    double* p = Worker.Power.data() + std::size_t(slot) * std::size_t(bins);
    Worker.Frames[std::size_t(slot)] =
        computer.Power(Job.Key.Level, base + Job.First + i, Job.Sampled, p);
    if (Job.Pass)
      continue;
    ++pending;
    if (pending == kept || i + 1 == count ||
        std::chrono::steady_clock::now() - since > DeliverEvery) {
      handOver(Job.Key, Job.First + i + 1 - pending, pending, Worker.Power.data(),
               Worker.Frames.data(), false);
      Deliver(out);
      pending = 0;
      since = std::chrono::steady_clock::now();
    }
  }
  if (!Job.Pass || Job.Cancelled)
    return;
  // The pass's own level, then each level above from pairs of the one
  // below, weighed by their frames.
  TTileKey key = Job.Key;
  int n = count, first = Job.First;
  for (int up = 0;; ++up) {
    handOver(key, first, n, Worker.Power.data(), Worker.Frames.data(), up == Job.Derive);
    if (up == Job.Derive)
      break;
    double* p = Worker.Power.data();
    int* f = Worker.Frames.data();
    const int half = (n + 1) / 2;
    for (int c = 0; c < half; ++c) {
      const int a = 2 * c, b = 2 * c + 1;
      for (int k = 0; k < bins; ++k)
        p[std::size_t(c) * bins + k] =
            p[std::size_t(a) * bins + k] + (b < n ? p[std::size_t(b) * bins + k] : 0.0);
      f[c] = f[a] + (b < n ? f[b] : 0);
    }
    // The columns' place in the tile of the level above.
    const std::int64_t column = key.Tile * TileColumns + first;
    key.Level += 1;
    key.Tile = (column / 2) / TileColumns;
    first = int((column / 2) % TileColumns);
    n = half;
  }
  Deliver(out);
}

void TLevelCache::Deliver(std::vector<TResult>& Results)
{
  if (Results.empty())
    return;
  {
    const std::lock_guard<std::mutex> lock(FLock);
    for (TResult& r : Results)
      if (r.Generation == FGeneration)
        FOutbox.push_back(std::move(r));
  }
  Results.clear();
  FDone.notify_all();
  if (!FSignalled.exchange(true))
    Q_EMIT OnColumnsReady();
}

bool TLevelCache::Collect()
{
  FSignalled = false;
  std::vector<TResult> results;
  std::uint64_t generation = 0;
  {
    const std::lock_guard<std::mutex> lock(FLock);
    results.swap(FOutbox);
    generation = FGeneration;
  }
  bool any = false;
  for (TResult& r : results) {
    if (r.Generation != generation || !FSource)
      continue;
    std::unique_ptr<TLevelTile>& tile = FTiles[r.Key];
    if (!tile) {
      tile = std::make_unique<TLevelTile>();
      tile->Key = r.Key;
      tile->Bins = r.Bins;
      tile->Levels.resize(std::size_t(TileColumns) * std::size_t(r.Bins));
      tile->Pinned =
          r.Key.Size == FBaseSize && r.Key.Level >= FPassLevel && r.Key.Level <= PassTop();
      FTileBytes += tile->Bytes();
    }
    tile->LastUse = FStamp; // asked for by a view of late
    for (int c = 0; c < r.Count; ++c) {
      const std::size_t at = std::size_t(r.First + c);
      // Whole columns are never replaced by sampled ones.
      if (tile->Quality[at] > r.Quality)
        continue;
      std::copy_n(r.Levels.data() + std::size_t(c) * std::size_t(r.Bins), r.Bins,
                  tile->Levels.data() + at * std::size_t(r.Bins));
      tile->Quality[at] = r.Quality;
    }
    FPassCollected += r.PassEnd;
    any = true;
  }
  if (any)
    Evict();
  return any;
}

void TLevelCache::Evict()
{
  std::size_t unpinned = 0;
  std::vector<TLevelTile*> candidates;
  for (auto& [key, tile] : FTiles)
    if (!tile->Pinned) {
      unpinned += tile->Bytes();
      // What the view of now draws from stays.
      if (tile->LastUse < FStamp)
        candidates.push_back(tile.get());
    }
  if (unpinned <= ViewBudget)
    return;
  std::sort(candidates.begin(), candidates.end(),
            [](const TLevelTile* a, const TLevelTile* b) { return a->LastUse < b->LastUse; });
  for (TLevelTile* t : candidates) {
    if (unpinned <= ViewBudget)
      break;
    unpinned -= t->Bytes();
    FTileBytes -= t->Bytes();
    FTiles.erase(t->Key);
  }
}

const TLevelTile* TLevelCache::Tile(const TTileKey& Key) const
{
  const auto it = FTiles.find(Key);
  if (it == FTiles.end())
    return nullptr;
  it->second->LastUse = FStamp;
  return it->second.get();
}

std::vector<TLevelChoice> TLevelCache::Present() const
{
  std::vector<TLevelChoice> present;
  auto it = FTiles.begin();
  while (it != FTiles.end()) {
    const TTileKey& k = it->first;
    present.push_back({k.Size, k.Level});
    // On to the next level: past every tile of this one.
    it = FTiles.lower_bound({k.Size, k.Level + 1, std::numeric_limits<std::int64_t>::min(), 0});
  }
  return present;
}

bool TLevelCache::Idle() const
{
  const std::lock_guard<std::mutex> lock(FLock);
  return FQueue.empty() && FPass.empty() && FRunning.empty() && FOutbox.empty();
}

bool TLevelCache::WaitIdle(int Ms) const
{
  std::unique_lock<std::mutex> lock(FLock);
  return FDone.wait_for(lock, std::chrono::milliseconds(Ms),
                        [this] { return FQueue.empty() && FPass.empty() && FRunning.empty(); });
}

std::size_t TLevelCache::Bytes() const
{
  std::size_t bytes = FTileBytes;
  const std::lock_guard<std::mutex> lock(FLock);
  for (const TResult& r : FOutbox)
    bytes += r.Levels.size() * sizeof(float);
  return bytes;
}

} // namespace duv
