// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the WAV reader: each input goes through the shared checks
// of FuzzSupport.h (three loads that must agree, a spectrum, a spectrogram)
// and, when our own RIFF walk read it, the promises of the chunk list and
// the unpacked samples. Inputs that are not RIFF/WAVE would go on to the
// decoder, whose own target is decoded_fuzzer: here they are passed by, as
// decoding them cost twenty times what a WAV file costs and left our own
// reader a twentieth of the run.
#include "FuzzSupport.h"

using namespace duv;
using namespace duv::fuzz;

namespace {
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
      check(c.Data.empty() && std::uint64_t(layout.DataSize) == c.Size && layout.DataOffset >= 20 &&
                std::uint64_t(layout.DataOffset) + c.Size <= fileSize,
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

  const bool unpacked = encoding == 3
                            ? (bits == 32 || bits == 64)
                            : (bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
  // Inputs too short to say what they are still go to the reader, which
  // must refuse them.
  if (size >= 12 && (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0))
    return -1; // not kept in the corpus
  TSoundFile file, fromPath, header;
  if (!loadThreeWays(bytes, size, file, fromPath, header).empty())
    return 0;
  if (!file.SampleLayout().Decoded) {
    checkChunks(file, size);
    checkSamples(file);
  }
  checkSpectrum(file, header, bytes, size);
  return 0;
}
