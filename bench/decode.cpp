// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes a whole file with libsndfile as our reader asks it to (integers
// for integer and lossless encodings, floats for lossy ones and floating
// point), and prints the frames decoded: the cost of the decoding alone, for
// bench/decoded-vs-sox. Kept apart from Qt so that its process costs little
// besides the decoding.
#include <sndfile.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  const int sub = info.format & SF_FORMAT_SUBMASK;
  const bool floats = sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE ||
                      sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS ||
                      sub == SF_FORMAT_MPEG_LAYER_I || sub == SF_FORMAT_MPEG_LAYER_II ||
                      sub == SF_FORMAT_MPEG_LAYER_III;
  constexpr sf_count_t chunk = 8192; // as many frames a call as our reader asks for
  std::vector<int> ints(std::size_t(chunk * info.channels));
  std::vector<float> reals(ints.size());
  long long total = 0;
  for (;;) {
    const sf_count_t n =
        floats ? sf_readf_float(file, reals.data(), chunk) : sf_readf_int(file, ints.data(), chunk);
    if (n <= 0)
      break;
    total += n;
  }
  sf_close(file);
  std::printf("%lld\n", total);
  return 0;
}
