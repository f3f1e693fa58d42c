// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the WAV reader: loads each input from memory, and from a
// file to see that both give the same, and its headers alone to see that
// they give what the full load gives; and when it loads, prints its
// information, computes a spectrum as the `spectrum` command does (at a size
// and offset picked from the input, from the whole file and from the stretch
// alone) and a small spectrogram. On the way it checks what the reader
// promises its callers; a broken promise aborts, so the fuzzer keeps the
// input.
#include "wavefile/FileAnalysis.h"
#include "wavefile/FileSpectrogram.h"
#include "wavefile/WaveFileParser.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <sys/mman.h>
#include <unistd.h>

using namespace duv;

namespace {

void check(bool kept, const char* promise)
{
  if (!kept) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
  }
}

std::uint16_t fieldU16(const TRiffChunk& chunk, int offset)
{
  std::uint16_t v;
  std::memcpy(&v, chunk.Data.data() + offset, 2);
  return v;
}

void checkChunks(const TSoundFile& file, std::size_t fileSize)
{
  std::uint64_t used = 12; // "RIFF", its size, "WAVE"
  const TRiffChunk* data = file.FindChunk(FourCC("data"));
  const TSampleLayout& layout = file.SampleLayout();
  for (int i = 0; i < file.ChunkCount(); ++i) {
    const TRiffChunk& c = *file.Chunk(i);
    // The samples' chunk keeps no bytes: they went into the channels.
    if (&c == data)
      check(c.Data.empty() && std::uint64_t(layout.DataSize) == c.Size &&
                layout.DataOffset >= 20 && std::uint64_t(layout.DataOffset) + c.Size <= fileSize,
            "the \"data\" chunk keeps its place and size, not its bytes");
    else
      check(c.Size == c.Data.size(), "a chunk's size is the number of bytes it holds");
    used += 8 + std::uint64_t(c.Size);
  }
  check(used <= fileSize, "all chunks fit in the file");
}

void checkSamples(const TSoundFile& file)
{
  const TSoundData& d = file.SoundData();
  // The file's own fields: a 24-bit file reports 16 bits once converted.
  const TRiffChunk& fmt = *file.FindChunk(FourCC("fmt "));
  const TRiffChunk& data = *file.FindChunk(FourCC("data"));
  const std::uint64_t channels = fieldU16(fmt, 2), bits = fieldU16(fmt, 14);
  // The encoding: the tag, or an extensible record's sub-format (which
  // loaded, so its GUID names a tag).
  std::uint16_t encoding = fieldU16(fmt, 0);
  if (encoding == 0xFFFE)
    encoding = fieldU16(fmt, 24);
  check(encoding == 1 || encoding == 3, "only integer and floating-point samples load");
  const std::uint64_t bytesPerFrame = (channels * bits + 4) / 8;
  const std::uint64_t samples = std::uint64_t(d.SamplesPerChannel);
  check(d.SamplesPerChannel >= 0, "the sample count is not negative");
  if (bits == 4 && channels == 1)
    check(samples <= 2 * std::uint64_t(data.Size), "the sample count fits the data");
  else
    check(samples * bytesPerFrame <= data.Size, "the sample count fits the data");
  check(d.Format.nSamplesPerSec > 0, "the sample rate is not 0");

  const bool unpacked = encoding == 3 ? (bits == 32 || bits == 64)
                                      : (bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
                                         bits == 32);
  check(encoding == 1 || unpacked, "floating point of other widths does not load");
  // Wider samples are reduced to 16 bits, and the format says so.
  if (unpacked && bits > 16)
    check(d.Format.wBitsPerSample == 16 && d.Format.nBlockAlign == std::uint16_t(2 * channels),
          "a reduced width shows as 16 bits");
  else
    check(d.Format.wBitsPerSample == bits, "an unreduced width shows as it is");
  int lowest = -32768, highest = 32767;
  if (bits == 4)
    lowest = 0, highest = 15;
  else if (bits == 8)
    lowest = 0, highest = 255;
  for (std::uint64_t k = 0; k < 2; ++k) {
    const TSoundArray& channel = d.Channels[k];
    const std::uint64_t expected = (unpacked && k < channels) ? samples : 0;
    check(std::uint64_t(channel.size()) == expected,
          "every channel is as long as the sample count");
    for (const std::int16_t s : channel)
      check(s >= lowest && s <= highest, "every sample lies within its bit width");
  }
}

void checkSpectrum(const TSoundFile& file, const TSoundFile& header, const std::uint8_t* bytes,
                   std::size_t size)
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
  FileSpectrum(analysis, d, start, frame, TWindowKind::Rectangular, spectrum);
  check(std::isfinite(spectrum.DCOffset), "the spectrum is finite");
  for (std::size_t k = 0; k < spectrum.X.size(); ++k)
    check(std::isfinite(spectrum.X[k]) && std::isfinite(spectrum.Y[k]), "the spectrum is finite");
  // What `spectrum` computes, from the headers and the stretch alone.
  StreamedFileSpectrum(analysis, header, start, frame, TWindowKind::Rectangular, streamed);
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
QString asFile(const std::uint8_t* bytes, std::size_t size)
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
  const QString path = asFile(bytes, size);
  TSoundFile file, fromPath;
  const std::string error =
      loadError(file, [&] { file.LoadFromMemory(QByteArrayView(bytes, qsizetype(size)), path); });
  check(loadError(fromPath, [&] { fromPath.SetFileName(path); }) == error,
        "a file loads from its path as from memory");
  TSoundFile header;
  check(loadError(header, [&] { header.LoadHeader(path); }) == error,
        "the headers alone fail as a full load does");
  if (!error.empty())
    return 0;
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

  checkChunks(file, size);
  checkSamples(file);
  std::ostringstream info;
  WriteFileInfo(file, info);
  checkSpectrum(file, header, bytes, size);
  return 0;
}
