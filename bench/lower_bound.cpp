// SPDX-License-Identifier: GPL-3.0-or-later
// The least a whole-file spectrogram can cost, as the peer of `duvovovi
// spectrogram` in bench_commands: read a 16-bit stereo WAV file, mix its
// channels, window frames of N samples half a frame apart (Hann) and
// transform them with FFTW's r2c, planned from wisdom the driver measured
// (FFTW_MEASURE) so that planning costs nothing here. No levels, no
// picture. Kept free of Qt, so that its start-up costs what a small tool's
// does.
// Usage: duvovovi_lower_bound FILE N WISDOM
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numbers>
#include <unistd.h>
#include <vector>

namespace {

bool readAll(int fd, void* to, std::size_t bytes)
{
  auto* p = static_cast<char*>(to);
  while (bytes > 0) {
    const ssize_t got = ::read(fd, p, bytes);
    if (got <= 0)
      return false;
    p += got;
    bytes -= std::size_t(got);
  }
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s FILE N WISDOM\n", argv[0]);
    return 2;
  }
  const int n = std::atoi(argv[2]), hop = n / 2;
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0 || n < 4 || !fftw_import_wisdom_from_filename(argv[3]))
    return 1;
  // The chunks up to "data": the format is known to be 16-bit stereo.
  char riff[12];
  if (!readAll(fd, riff, sizeof riff))
    return 1;
  std::uint32_t dataBytes = 0;
  for (;;) {
    char head[8];
    if (!readAll(fd, head, sizeof head))
      return 1;
    std::uint32_t size;
    std::memcpy(&size, head + 4, 4);
    if (std::memcmp(head, "data", 4) == 0) {
      dataBytes = size;
      break;
    }
    ::lseek(fd, (size + 1) & ~1u, SEEK_CUR);
  }

  double* in = fftw_alloc_real(std::size_t(n));
  fftw_complex* out = fftw_alloc_complex(std::size_t(n / 2 + 1));
  const fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE | FFTW_WISDOM_ONLY);
  if (!plan)
    return 1;
  std::vector<double> window(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    window[std::size_t(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);

  // Mixed samples stream through a buffer; a frame is transformed once its
  // last sample is in.
  constexpr std::size_t BlockFrames = 1 << 16;
  std::vector<std::int16_t> block(2 * BlockFrames);
  std::vector<double> mixed(static_cast<std::size_t>(n));
  std::uint64_t left = dataBytes / 4, done = 0;
  int filled = 0;
  double check = 0;
  while (left > 0) {
    const std::size_t frames = std::size_t(std::min<std::uint64_t>(left, BlockFrames));
    if (!readAll(fd, block.data(), frames * 4))
      return 1;
    for (std::size_t i = 0; i < frames; ++i) {
      mixed[std::size_t(filled++)] = 0.5 * (double(block[2 * i]) + double(block[2 * i + 1]));
      if (filled == n) {
        for (int j = 0; j < n; ++j)
          in[j] = mixed[std::size_t(j)] * window[std::size_t(j)];
        fftw_execute(plan);
        check += out[1][0];
        std::memmove(mixed.data(), mixed.data() + hop, sizeof(double) * std::size_t(n - hop));
        filled = n - hop;
      }
    }
    left -= frames;
    done += frames;
  }
  std::printf("%llu %g\n", static_cast<unsigned long long>(done), check);
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  return 0;
}
