// SPDX-License-Identifier: GPL-3.0-or-later
// What both fuzz targets do with an input: load it from memory, from a file
// and its headers alone, and check that the three agree; and when it loads,
// compute a spectrum as the `spectrum` command does (from the whole file and
// from the stretch alone) and a small spectrogram. A broken promise aborts,
// so the fuzzer keeps the input.
#pragma once

#include "wavefile/FileAnalysis.h"
#include "wavefile/FileSpectrogram.h"
#include "wavefile/WaveFileParser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace duv::fuzz {

inline void check(bool kept, const char* promise)
{
  if (!kept) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
  }
}

inline void checkSpectrum(const TSoundFile& file, const TSoundFile& header,
                          const std::uint8_t* bytes, std::size_t size)
{
  try {
    CheckAnalysable(file);
  } catch (const EWaveFileError&) {
    return;
  }
  const TSoundData& d = file.SoundData();
  // The last two bytes pick the frame length and where it starts. Long
  // frames cost the most and reach no code that short ones miss, so only
  // one input in eight may pick one above 1024.
  const int pick = bytes[size - 1];
  const int frame = 256 << (pick >= 224 ? pick % 8 : pick % 3);
  const std::int64_t start = std::int64_t(d.SamplesPerChannel) * bytes[size - 2] / 256;
  // One analysis state for all inputs, as the program keeps one: making
  // its arrays anew would cost more than the rest of a run.
  static TAnalysis analysis;
  static TSpectrumFrame spectrum, streamed;
  const TWindowKind window = pick % 2 ? TWindowKind::Rectangular : TWindowKind::Hann;
  FileSpectrum(analysis, d, start, frame, window, spectrum);
  check(std::isfinite(spectrum.DCOffset), "the spectrum is finite");
  for (std::size_t k = 0; k < spectrum.X.size(); ++k)
    check(std::isfinite(spectrum.X[k]) && std::isfinite(spectrum.Y[k]), "the spectrum is finite");
  // What `spectrum` computes, from the headers and the stretch alone.
  StreamedFileSpectrum(analysis, header, start, frame, window, streamed);
  check(streamed.DCOffset == spectrum.DCOffset && streamed.X == spectrum.X &&
            streamed.Y == spectrum.Y,
        "a stretch read alone gives the spectrum of the file loaded whole");
  // The spectrogram's levels, streamed from the file: a number or silence,
  // never NaN, and no more than a full-scale square wave in every bin gives.
  TFileSpectrogramSettings settings;
  settings.Width = 1 + pick % 7;
  settings.Height = 1 + bytes[size - 2] % 9;
  settings.Size = 256;
  settings.Threads = 1 + pick % 2;
  settings.Channel = TChannelChoice(pick % 3 == 1 && d.Format.nChannels < 2 ? 0 : pick % 3);
  settings.Window = pick % 2 ? TWindowKind::Rectangular : TWindowKind::Hann;
  const TFileSpectrogram grid = ComputeFileSpectrogram(header, settings);
  check(grid.Levels.size() == std::size_t(settings.Width * settings.Height),
        "the spectrogram has its columns and rows");
  for (float v : grid.Levels)
    check(!std::isnan(v) && v < 60, "the spectrogram's levels are levels");
  // Printing turns finite values into text whatever they are; under the
  // sanitizers its many small strings cost more than everything else, so
  // only the shortest frames are printed.
  if (frame == 256) {
    std::ostringstream out;
    WriteSpectrum(spectrum, out);
  }
}

// The input as a file, through the path entry point: an in-memory file
// named /proc/self/fd/N, so no input touches the disk.
inline QString asFile(const std::uint8_t* bytes, std::size_t size)
{
  static const int fd = ::memfd_create("wav_fuzzer", MFD_CLOEXEC);
  check(fd >= 0 && ::ftruncate(fd, 0) == 0 && ::pwrite(fd, bytes, size, 0) == ssize_t(size),
        "the input can be written to a file (not a promise of the reader)");
  return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

// The message of a load, or "" when it succeeded.
template <class Load> std::string loadError(TSoundFile& file, Load load)
{
  try {
    load();
  } catch (const EWaveFileError& e) {
    check(file.ChunkCount() == 0, "a failed load leaves no chunks");
    return e.what();
  }
  return "";
}

// Reads the start and the end of a file whose headers loaded but whose
// whole load failed: a clean failure or samples, never worse.
inline void readFailing(const TSoundFile& header)
{
  const std::int64_t n = header.SoundData().SamplesPerChannel;
  std::vector<std::int16_t> left(1 << 16), right(left.size());
  try {
    TSampleReader reader(header);
    for (std::int64_t first : {std::int64_t(0), std::max<std::int64_t>(0, n - (1 << 16))})
      reader.Read(first, std::min<std::int64_t>(n - first, 1 << 16), left.data(), right.data());
  } catch (const EWaveFileError&) {
  }
}

// The input loaded the three ways into File (from memory), FromPath and
// Header, checked to agree; the load's message, or "" when it loaded.
inline std::string loadThreeWays(const std::uint8_t* bytes, std::size_t size, TSoundFile& file,
                                 TSoundFile& fromPath, TSoundFile& header)
{
  const QString path = asFile(bytes, size);
  const std::string error =
      loadError(file, [&] { file.LoadFromMemory(QByteArrayView(bytes, qsizetype(size)), path); });
  check(loadError(fromPath, [&] { fromPath.SetFileName(path); }) == error,
        "a file loads from its path as from memory");
  const std::string headerError = loadError(header, [&] { header.LoadHeader(path); });
  // Our WAV reader finds every fault in the headers. A decoded stream can be
  // damaged in the middle, which only decoding it finds: then the headers
  // load and reading the samples fails.
  if (size < 12 || (std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WAVE", 4) == 0))
    check(headerError == error, "the headers alone fail as a full load does");
  else
    check(headerError.empty() || !error.empty(), "what fails from its headers fails whole");
  if (!error.empty()) {
    if (headerError.empty())
      readFailing(header);
    return error;
  }
  check(fromPath.ChunkCount() == file.ChunkCount() &&
            fromPath.SoundData().SamplesPerChannel == file.SoundData().SamplesPerChannel &&
            fromPath.SoundData().Channels == file.SoundData().Channels,
        "a file loads from its path as from memory");

  const TSoundData& h = header.SoundData();
  check(std::memcmp(&h.Format, &file.SoundData().Format, sizeof h.Format) == 0 &&
            h.SamplesPerChannel == file.SoundData().SamplesPerChannel &&
            header.ChunkCount() == file.ChunkCount() && h.Channels[0].isEmpty() &&
            h.Channels[1].isEmpty(),
        "the headers alone give the format and sample count of a full load");
  for (int i = 0; i < header.ChunkCount(); ++i)
    check(std::memcmp(header.Chunk(i)->ID, file.Chunk(i)->ID, 4) == 0 &&
              header.Chunk(i)->Size == file.Chunk(i)->Size,
          "the headers alone give the chunk list of a full load");
  std::ostringstream info;
  WriteFileInfo(file, info);
  return error;
}

} // namespace duv::fuzz
