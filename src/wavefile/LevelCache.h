// SPDX-License-Identifier: GPL-3.0-or-later
// The levels of a whole file's spectrogram, computed by worker threads and
// kept in tiles at several resolutions (LevelTiles.h), so that a view of an
// hour of audio appears at once and stays fluid at every zoom:
// - the whole-file pass transforms every frame of the file once and keeps
//   the power averages at one fine level and the coarser levels above it,
//   within a fixed budget whatever the file's length;
// - a view asks for what it shows (Want): columns finer than the pass's, or
//   of a larger transform, are computed for the stretch shown, first one
//   frame per column, then whole columns, and kept while memory allows.
// The data flows one way: the GUI thread hands out work, the workers hand
// back finished columns, and only the GUI thread (Collect) puts them into
// the tiles it paints from. A new file, new settings or the cache's end
// cancel the work under way.
#pragma once

#include "wavefile/LevelTiles.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace duv {

class TLevelCache : public QObject
{
  Q_OBJECT
public:
  // Threads: workers; 0 for one per core, at most four.
  explicit TLevelCache(int Threads = 0, QObject* Parent = nullptr);
  ~TLevelCache() override;

  // A file and how it is transformed: what was computed goes, the work
  // under way stops, and the whole-file pass starts. Data shares the
  // samples of the file's arrays; Size is a buffer size.
  void SetSource(const TSoundData& Data, int Size, TWindowKind Window);
  // No file: stops all work and empties the cache.
  void Clear();
  // Stops all work; what was computed stays.
  void Cancel();
  bool HasSource() const { return FSource != nullptr; }
  const TLevelSource& Source() const { return *FSource; }
  std::int64_t Samples() const { return FSource ? FSource->Samples() : 0; }
  int BaseSize() const { return FBaseSize; }
  // The level the whole-file pass computes, and the highest it averages up.
  int PassLevel() const { return FPassLevel; }
  int PassTop() const { return FPassLevel + FPassDerive; }

  // What the view shows now; the work is ordered for it: what the view
  // lacks, first one frame per column and then whole columns, then a
  // margin either side, and the pass's tiles nearest to it. GUI thread.
  void Want(const TLevelView& View);
  // The choice Want made for the last view.
  const TLevelChoice& Choice() const { return FChoice; }

  // Puts the columns the workers finished into the tiles; true when there
  // were any. GUI thread.
  bool Collect();

  // A tile, or null; the lookup marks it as used by the view of now.
  const TLevelTile* Tile(const TTileKey& Key) const;
  // The levels the cache holds tiles of, by size and level.
  std::vector<TLevelChoice> Present() const;

  // Nothing queued, running or waiting to be collected.
  bool Idle() const;
  // Waits up to Ms milliseconds for Idle; true when it came.
  bool WaitIdle(int Ms) const;
  // The whole-file pass is complete and collected.
  bool PassDone() const { return FPassJobs > 0 && FPassCollected == FPassJobs; }
  // The worker threads there are.
  int Threads() const { return int(FWorkers.size()); }
  // Memory held: the tiles, and finished columns not collected yet.
  std::size_t Bytes() const;

  // The pass keeps its fine level within this many bytes (its coarser
  // levels take as much again), and tiles of views are evicted, least
  // recently used first, beyond ViewBudget.
  static constexpr std::size_t PassBytes = std::size_t(20) << 20;
  std::size_t ViewBudget = std::size_t(40) << 20;

Q_SIGNALS:
  // Finished columns wait for Collect. Sent from a worker thread, once until
  // the next Collect: connect it queued to the GUI thread.
  void OnColumnsReady();

private:
  struct TJob;
  struct TResult;
  class TWorker;

  void Stop();
  void Work();
  std::shared_ptr<TJob> NextJob(); // under the lock
  void Run(TJob& Job, const std::shared_ptr<const TLevelSource>& Source, TWorker& Worker);
  void Deliver(std::vector<TResult>& Results);
  // Columns [First, First + Count) of a tile of Key's size and level that
  // lack Quality in every band from Key.Band on; trims the run to them.
  bool Missing(TTileKey Key, int Bands, int& First, int& Count, TLevelQuality Quality) const;
  void Evict();

  // GUI thread only.
  std::shared_ptr<const TLevelSource> FSource;
  int FBaseSize = 0;
  int FPassLevel = 0, FPassDerive = 0;
  int FPassJobs = 0, FPassCollected = 0;
  std::map<TTileKey, std::unique_ptr<TLevelTile>> FTiles;
  std::size_t FTileBytes = 0;
  mutable std::uint64_t FStamp = 1; // of the view of now
  TLevelChoice FChoice;

  // Shared with the workers, under FLock.
  mutable std::mutex FLock;
  std::condition_variable FWake;         // work, or the end
  mutable std::condition_variable FDone; // a job ended or results came
  std::deque<std::shared_ptr<TJob>> FQueue;
  std::vector<std::shared_ptr<TJob>> FPass;
  std::vector<std::shared_ptr<TJob>> FRunning;
  std::vector<TResult> FOutbox;
  std::shared_ptr<const TLevelSource> FWorkSource;
  std::uint64_t FGeneration = 0;
  std::int64_t FPassCentre = 0;
  bool FStop = false;
  std::atomic<bool> FSignalled{false};

  std::vector<std::thread> FWorkers;
};

} // namespace duv
