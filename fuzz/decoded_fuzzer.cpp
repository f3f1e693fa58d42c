// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the formats libsndfile reads for us (FLAC, Ogg, MP3, AIFF,
// CAF, W64, RF64): each input goes through the shared checks of
// FuzzSupport.h, and a file the decoder read must also keep the decoder's
// promises: a failure names the file, the format says 16 bits as the
// samples are stored, each channel is as long as the sample count, and a
// streaming reader stepping back and forth gives the samples of the whole
// load.
#include "FuzzSupport.h"

#include <algorithm>
#include <vector>

using namespace duv;
using namespace duv::fuzz;

namespace {

void checkDecoded(const TSoundFile& file, const TSoundFile& header, const std::uint8_t* bytes,
                  std::size_t size)
{
  const TDecodedFormat& f = *file.SampleLayout().Decoded;
  const TSoundData& d = file.SoundData();
  check(file.ChunkCount() == 0, "a decoded file has no chunk list");
  check(!f.Name.isEmpty() && !f.Summary().isEmpty() && !f.WidthText().isEmpty(),
        "a decoded file says what it is");
  check(f.Channels >= 1 && f.SampleRate >= 1 &&
            d.Format.nSamplesPerSec == std::uint32_t(f.SampleRate),
        "a decoded file has channels and a rate");
  check(d.Format.wBitsPerSample == 16 && d.Format.nBlockAlign == 2 * d.Format.nChannels,
        "decoded samples are stored as 16 bits");
  check(d.SamplesPerChannel >= 0 && f.Frames >= d.SamplesPerChannel,
        "the sample count is the header's");
  for (int k = 0; k < 2; ++k)
    check(d.Channels[std::size_t(k)].size() == (k < f.Channels ? d.SamplesPerChannel : 0),
          "every channel is as long as the sample count");

  // Two stretches picked from the input, the second starting before the
  // first one's end, as the spectrogram's overlapping frames read them.
  const std::int64_t n = d.SamplesPerChannel;
  if (n == 0 || size < 4)
    return;
  const std::int64_t a = n * bytes[size - 3] / 256;
  const std::int64_t count = std::min<std::int64_t>(n - a, 1 + bytes[size - 4] * 64);
  const std::int64_t b = std::max<std::int64_t>(0, a + count / 2 - bytes[size - 4]);
  const std::int64_t count2 = std::min<std::int64_t>(n - b, count);
  TSampleReader reader(header);
  for (const auto& [first, length] : {std::pair{a, count}, std::pair{b, count2}}) {
    std::vector<std::int16_t> left(static_cast<std::size_t>(length)), right(left.size());
    reader.Read(first, length, left.data(), right.data());
    for (int k = 0; k < 2; ++k) {
      const std::vector<std::int16_t>& got = k == 0 ? left : right;
      const TSoundArray& whole = d.Channels[std::size_t(k)];
      check(whole.isEmpty() ? std::all_of(got.begin(), got.end(), [](int s) { return s == 0; })
                            : std::equal(got.begin(), got.end(), whole.begin() + first),
            "a stretch read alone gives the samples of the whole load");
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
  TSoundFile file, fromPath, header;
  const std::string error = loadThreeWays(bytes, size, file, fromPath, header);
  if (!error.empty()) {
    check(error.find("/proc/self/fd/") != std::string::npos, "a failure names the file");
    return 0;
  }
  if (file.SampleLayout().Decoded)
    checkDecoded(file, header, bytes, size);
  checkSpectrum(file, header, bytes, size);
  return 0;
}
