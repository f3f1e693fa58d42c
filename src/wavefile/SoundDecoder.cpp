// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/SoundDecoder.h"

#include "wavefile/WaveFileParser.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace duv {

namespace {

// The containers read here, told apart by their first bytes before
// libsndfile sees them: a file that is none of them never reaches the many
// other parsers it has.
enum class TKind { None, Flac, Ogg, Mpeg, Aiff, Aifc, Caf, W64, Rf64 };

constexpr std::uint8_t W64Riff[16] = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                                      0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr std::uint8_t W64Wave[16] = {'w',  'a',  'v',  'e',  0xF3, 0xAC, 0xD3, 0x11,
                                      0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

std::uint32_t be32(const std::uint8_t* p)
{
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         p[3];
}

std::uint64_t le64(const std::uint8_t* p)
{
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | p[i];
  return v;
}

// An MPEG audio frame header: what the stream says of itself.
struct TMpegHeader
{
  int Layer = 0;    // 1, 2 or 3
  int BitRate = 0;  // kbit/s; 0 for "free format"
  int SideInfo = 0; // bytes between the header and a Xing tag
  bool Valid = false;
};

TMpegHeader mpegHeader(const std::uint8_t* p)
{
  TMpegHeader h;
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
    return h;
  const int version = (p[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
  const int layerBits = (p[1] >> 1) & 3;
  const int rateIndex = p[2] >> 4;
  if (version == 1 || layerBits == 0 || rateIndex == 15 || ((p[2] >> 2) & 3) == 3)
    return h;
  h.Layer = 4 - layerBits;
  static constexpr std::array<std::array<short, 15>, 5> rates{{
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 layer I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 II, III
  }};
  const bool mpeg1 = version == 3;
  const std::size_t table = mpeg1 ? std::size_t(h.Layer - 1) : (h.Layer == 1 ? 3 : 4);
  h.BitRate = rates[table][std::size_t(rateIndex)];
  const bool mono = (p[3] >> 6) == 3;
  h.SideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  h.Valid = true;
  return h;
}

// A floating-point sample as a 16-bit one, as the WAV reader reduces one:
// +-1.0 is full scale, rounded down, clipped; NaN reads as silence.
std::int16_t fromFloat(double x)
{
  if (std::isnan(x))
    return 0;
  return std::int16_t(std::clamp(std::floor(x * 32768.0), -32768.0, 32767.0));
}

// Float samples as 16-bit ones, as fromFloat reduces them, into a buffer of
// ints, in float arithmetic (exact: the product is a float times a power of
// two). A lossy decoder's output is all floats, and the compiler keeps the
// plain loop's NaN tests as branches: four at a time with SSE2, which every
// x86-64 has, it costs a fifth.
void floatsToSamples(const float* in, std::int32_t* out, std::int64_t count)
{
  std::int64_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(32768.0f);
  const __m128 low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  for (; i + 4 <= count; i += 4) {
    __m128 v = _mm_mul_ps(_mm_loadu_ps(in + i), scale);
    v = _mm_and_ps(v, _mm_cmpord_ps(v, v)); // NaN: 0
    v = _mm_min_ps(_mm_max_ps(v, low), high);
    const __m128i t = _mm_cvttps_epi32(v); // toward zero
    // Down, for a negative fraction: the mask is -1 where t lies above v.
    const __m128i down = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi32(t, down));
  }
#endif
  for (; i < count; ++i)
    out[i] = fromFloat(in[i]);
}

// Channels 0 and 1 of `count` interleaved frames of `channels` into left
// and right (0 for a mono file).
template <typename T, typename Convert>
void deinterleave(const T* in, int channels, std::int64_t count, std::int16_t* left,
                  std::int16_t* right, Convert convert)
{
  if (channels == 1) {
    for (std::int64_t i = 0; i < count; ++i) {
      left[i] = convert(in[i]);
      right[i] = 0;
    }
  } else if (channels == 2) {
    for (std::int64_t i = 0; i < count; ++i) {
      left[i] = convert(in[2 * i]);
      right[i] = convert(in[2 * i + 1]);
    }
  } else {
    for (std::int64_t i = 0; i < count; ++i) {
      left[i] = convert(in[i * channels]);
      right[i] = convert(in[i * channels + 1]);
    }
  }
}

// libsndfile's account of a failure, in the words of the program's other
// messages: lower case, no full stop, and none of its internals.
QString decoderWords(const char* Text)
{
  QString why = QString::fromUtf8(Text).trimmed();
  if (why.endsWith(QLatin1Char('.')))
    why.chop(1);
  // What it says when a stream's decoder finds nothing to decode: the file
  // is regular, we opened it.
  if (why.contains(QLatin1String("regular file")))
    return QStringLiteral("no audio in it can be decoded");
  // Its internal errors ("Internal error : SF_INFO struct incomplete",
  // "Internal psf_fseek() failed") said as what they mean for the file.
  if (why.contains(QLatin1String("struct incomplete")))
    return QStringLiteral("its headers do not describe a stream that can be decoded");
  if (why.contains(QLatin1String("fseek")))
    return QStringLiteral("the decoder cannot seek in it");
  if (why.startsWith(QLatin1String("internal"), Qt::CaseInsensitive))
    return QStringLiteral("the decoder gave up on it");
  if (!why.isEmpty())
    why[0] = why[0].toLower();
  return why;
}

// Frames kept after they are read, so that a reader stepping back over
// overlapping frames (the spectrogram's) does not make the decoder seek.
constexpr std::int64_t RingFrames = 1 << 16;
// Frames asked of libsndfile at a time.
constexpr std::int64_t ChunkFrames = 8192;

enum class TSampleType { Int, Float, Double };

// The least AIFF size taken for what a writer to a pipe puts in its place.
constexpr std::uint32_t StreamedAiffSize = 0x7F000000u;

} // namespace

struct TSoundDecoder::TState
{
  TDecoderInput& Input;
  std::int64_t Pos = 0;     // the virtual file's position
  std::exception_ptr Error; // what the input threw inside a callback
  SNDFILE* File = nullptr;
  TSampleType Type = TSampleType::Int;
  TKind Kind = TKind::None;
  std::int64_t Next = 0;                 // the frame libsndfile reads next
  std::int64_t Held = 0;                 // frames before Next that the ring holds
  bool PastEnd = false;                  // an estimated length reaches beyond the stream
  bool NoSeek = false;                   // reached by decoding through from the start
  // Bytes before the stream that libsndfile is not shown: an ID3v2 tag,
  // whose footer (ID3v2.4) it does not know to skip.
  std::int64_t Skip = 0;
  // Four bytes libsndfile reads in place of the file's own at OverlayAt
  // (in its positions, after Skip).
  std::int64_t OverlayAt = -1;
  std::uint8_t Overlay[4] = {};
  // The ring, at frame & (RingFrames - 1), and libsndfile's chunk. None is
  // cleared when made: the ring is read only where Held says it was written,
  // and a chunk only as far as libsndfile filled it. Clearing them cost more
  // than opening a short file (a 61-channel chunk is 2 MB).
  std::unique_ptr<std::int16_t[]> Left, Right;
  std::unique_ptr<int[]> Ints;
  std::unique_ptr<float[]> Floats;
  std::unique_ptr<double[]> Doubles;

  explicit TState(TDecoderInput& input) : Input(input) {}
  ~TState()
  {
    if (File)
      sf_close(File);
  }

  void rethrow()
  {
    if (Error)
      std::rethrow_exception(std::exchange(Error, nullptr));
  }

  // libsndfile's calls into the input. Exceptions must not cross its C
  // frames: they are kept and thrown again once it returns.
  static sf_count_t length(void* user) { return static_cast<TState*>(user)->streamLength(); }
  std::int64_t streamLength() const { return std::max<std::int64_t>(Input.Length() - Skip, 0); }
  static sf_count_t seek(sf_count_t offset, int whence, void* user)
  {
    auto* s = static_cast<TState*>(user);
    const std::int64_t base = whence == SEEK_CUR   ? s->Pos
                              : whence == SEEK_END ? s->streamLength()
                                                   : 0;
    if (offset < -base || offset > std::numeric_limits<std::int64_t>::max() - base)
      return -1;
    s->Pos = base + offset;
    return s->Pos;
  }
  static sf_count_t read(void* to, sf_count_t count, void* user)
  {
    auto* s = static_cast<TState*>(user);
    if (s->Error || count <= 0 || s->Pos >= s->streamLength())
      return 0;
    try {
      const std::int64_t n = s->Input.ReadAt(s->Skip + s->Pos, to, count);
      for (std::int64_t k = 0; k < 4 && s->OverlayAt >= 0; ++k)
        if (s->OverlayAt + k >= s->Pos && s->OverlayAt + k < s->Pos + n)
          static_cast<std::uint8_t*>(to)[s->OverlayAt + k - s->Pos] = s->Overlay[k];
      s->Pos += n;
      return n;
    } catch (...) {
      s->Error = std::current_exception();
      return 0;
    }
  }
  static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t tell(void* user) { return static_cast<TState*>(user)->Pos; }

  // Opens the image from its start; false when libsndfile cannot.
  bool open(SF_INFO& info)
  {
    static SF_VIRTUAL_IO io{&length, &seek, &read, &write, &tell};
    if (File)
      sf_close(std::exchange(File, nullptr));
    info = SF_INFO{};
    Pos = 0;
    File = sf_open_virtual(&io, SFM_READ, &info, this);
    rethrow();
    return File != nullptr;
  }

  std::int64_t readAt(std::int64_t pos, std::uint8_t* to, std::int64_t count)
  {
    if (pos < 0 || pos >= Input.Length())
      return 0;
    return Input.ReadAt(pos, to, std::min(count, Input.Length() - pos));
  }

  // The frames the stream decodes to, read through once; the image is then
  // opened again at its start.
  std::int64_t countFrames(int channels)
  {
    std::vector<float> chunk(std::size_t(ChunkFrames) * std::size_t(channels));
    std::int64_t frames = 0;
    for (sf_count_t got; (got = sf_readf_float(File, chunk.data(), ChunkFrames)) > 0;)
      frames += got;
    rethrow();
    SF_INFO again{};
    if (!open(again))
      return 0;
    return frames;
  }

  // The kind of file from its first bytes; `at` is where its own header
  // starts, after any ID3 tag.
  TKind sniff(std::int64_t& at)
  {
    std::uint8_t h[40] = {};
    at = 0;
    std::int64_t got = readAt(0, h, sizeof h);
    // An ID3v2 tag (a FLAC or an MP3 may start with one): 10 bytes, a size
    // in four 7-bit bytes, and a 10-byte footer when flagged.
    if (got >= 10 && std::memcmp(h, "ID3", 3) == 0 && ((h[6] | h[7] | h[8] | h[9]) & 0x80) == 0) {
      at = 10 + ((std::int64_t(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9]) +
           ((h[5] & 0x10) ? 10 : 0);
      std::memset(h, 0, sizeof h);
      got = readAt(at, h, sizeof h);
      if (got >= 4 && std::memcmp(h, "fLaC", 4) == 0)
        return TKind::Flac;
      return got >= 4 && mpegHeader(h).Valid ? TKind::Mpeg : TKind::None;
    }
    if (got < 12)
      return TKind::None;
    if (std::memcmp(h, "fLaC", 4) == 0)
      return TKind::Flac;
    if (std::memcmp(h, "OggS", 4) == 0)
      return TKind::Ogg;
    if (std::memcmp(h, "FORM", 4) == 0 && std::memcmp(h + 8, "AIFF", 4) == 0)
      return TKind::Aiff;
    if (std::memcmp(h, "FORM", 4) == 0 && std::memcmp(h + 8, "AIFC", 4) == 0)
      return TKind::Aifc;
    if (std::memcmp(h, "caff", 4) == 0)
      return TKind::Caf;
    if (got >= 40 && std::memcmp(h, W64Riff, 16) == 0 && std::memcmp(h + 24, W64Wave, 16) == 0)
      return TKind::W64;
    if (std::memcmp(h, "RF64", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0)
      return TKind::Rf64;
    if (mpegHeader(h).Valid)
      return TKind::Mpeg;
    return TKind::None;
  }

  // The length the container's header declares for the whole file, or -1
  // where it declares none (or the all-ones of a writer that did not know).
  std::int64_t declaredLength(TKind kind)
  {
    std::uint8_t h[28] = {};
    if (readAt(0, h, sizeof h) < std::int64_t(sizeof h))
      return -1;
    std::uint64_t size = 0;
    if (kind == TKind::Aiff || kind == TKind::Aifc) {
      // A writer to a pipe cannot go back to fill the size in, and leaves
      // all ones or room to 2 GB (0x7F000000 and up): such a file is read
      // to its end.
      if (be32(h + 4) >= StreamedAiffSize)
        return -1;
      size = std::uint64_t(be32(h + 4)) + 8;
    } else if (kind == TKind::W64) {
      size = le64(h + 16);
    } else if (kind == TKind::Rf64 && std::memcmp(h + 12, "ds64", 4) == 0) {
      if (le64(h + 20) >= (std::uint64_t(1) << 62))
        return -1;
      size = le64(h + 20) + 8;
    } else {
      return -1;
    }
    if (size >= (std::uint64_t(1) << 62))
      return -1;
    return std::int64_t(size);
  }
};

WAVEFORMATEX TDecodedFormat::WaveFormat() const
{
  WAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = std::uint16_t(std::clamp(Channels, 0, 65535));
  f.nSamplesPerSec = std::uint32_t(std::max(SampleRate, 0));
  f.nAvgBytesPerSec = std::uint32_t(std::clamp<std::int64_t>((BitRate + 4) / 8, 0, 0xFFFFFFFFLL));
  f.nBlockAlign = std::uint16_t(2 * f.nChannels);
  f.wBitsPerSample = 16;
  return f;
}

QString TDecodedFormat::WidthText() const
{
  if (Bits > 0)
    return Float ? QStringLiteral("%1 float").arg(Bits) : QString::number(Bits);
  return Codec;
}

QString TDecodedFormat::Summary() const
{
  QString detail;
  if (Bits > 0)
    detail = Float ? QStringLiteral("%1-bit float").arg(Bits) : QStringLiteral("%1-bit").arg(Bits);
  else if (BitRate > 0)
    detail = QStringLiteral("%1 kbit/s").arg((BitRate + 500) / 1000);
  if (Bits == 0 && !Codec.isEmpty() && !Name.contains(Codec))
    detail = detail.isEmpty() ? Codec : Codec + QStringLiteral(", ") + detail;
  return detail.isEmpty() ? Name : Name + QStringLiteral(", ") + detail;
}

TSoundDecoder::TSoundDecoder(TDecoderInput& Input, const QString& Name)
    : FName(Name), S(std::make_unique<TState>(Input))
{
  std::int64_t start = 0;
  const TKind kind = S->sniff(start);
  S->rethrow();
  if (kind == TKind::None)
    failed(QStringLiteral("is not a RIFF/WAVE sound file, nor FLAC, Ogg Vorbis, Opus, MP3, "
                          "AIFF, CAF, W64 or RF64"));
  S->Kind = kind;
  if (kind == TKind::Flac || kind == TKind::Mpeg)
    S->Skip = start;
  if (kind == TKind::Flac) {
    // libFLAC seeks by the block sizes STREAMINFO gives; below the least a
    // frame has (0 from a writer that did not know) it fails, where
    // decoding through reads the samples.
    std::uint8_t blocks[4] = {};
    S->readAt(start + 8, blocks, 4);
    S->rethrow();
    const int least = (blocks[0] << 8) | blocks[1], most = (blocks[2] << 8) | blocks[3];
    S->NoSeek = least < 16 || most < least;
  }
  const std::int64_t declared = S->declaredLength(kind);
  S->rethrow();
  if (declared > Input.Length())
    failed(QStringLiteral("is cut short: its header declares %1 bytes, the file holds %2")
               .arg(declared)
               .arg(Input.Length()));

  if (kind == TKind::Mpeg) {
    // A Xing tag whose byte count is off from the stream's makes the MP3
    // decoder warn on standard error. The count only guides its seeking:
    // it is shown the stream's own size.
    std::uint8_t frame[64] = {};
    const std::int64_t got = S->readAt(start, frame, sizeof frame);
    S->rethrow();
    const int tagAt = 4 + mpegHeader(frame).SideInfo;
    if (got >= tagAt + 16 &&
        (std::memcmp(frame + tagAt, "Xing", 4) == 0 ||
         std::memcmp(frame + tagAt, "Info", 4) == 0) &&
        (frame[tagAt + 7] & 2) != 0) {
      const std::uint32_t size =
          std::uint32_t(std::min<std::int64_t>(Input.Length() - start, 0xFFFFFFFF));
      S->OverlayAt = start - S->Skip + tagAt + 8 + ((frame[tagAt + 7] & 1) ? 4 : 0);
      for (int k = 0; k < 4; ++k)
        S->Overlay[k] = std::uint8_t(size >> (24 - 8 * k));
    }
  }
  SF_INFO info{};
  if (!S->open(info)) {
    failed(QStringLiteral("cannot be read: %1").arg(decoderWords(sf_strerror(nullptr))));
  }

  const int major = info.format & SF_FORMAT_TYPEMASK;
  const int sub = info.format & SF_FORMAT_SUBMASK;
  const bool expected = (kind == TKind::Flac && major == SF_FORMAT_FLAC) ||
                        (kind == TKind::Ogg && major == SF_FORMAT_OGG &&
                         (sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS)) ||
                        (kind == TKind::Mpeg && major == SF_FORMAT_MPEG) ||
                        ((kind == TKind::Aiff || kind == TKind::Aifc) && major == SF_FORMAT_AIFF) ||
                        (kind == TKind::Caf && major == SF_FORMAT_CAF) ||
                        (kind == TKind::W64 && major == SF_FORMAT_W64) ||
                        (kind == TKind::Rf64 && major == SF_FORMAT_RF64);
  if (!expected)
    failed(QStringLiteral("cannot be read: its encoding is not one read here"));
  if (info.channels < 1 || info.samplerate < 1)
    failed(QStringLiteral("cannot be read: it has %1 channels at %2 Hz")
               .arg(info.channels)
               .arg(info.samplerate));
  // A FLAC written to a pipe has no total in its header (libsndfile then
  // says the largest count): its length is what it decodes to.
  const bool unknownLength = info.frames < 0 || info.frames == SF_COUNT_MAX;
  // An Ogg stream's length is the granule of its last page; one beyond what
  // its bytes could hold at 1 kbit/s is not believed (a damaged page said 2^42
  // samples): its length is what it decodes to, too.
  const bool absurdLength = kind == TKind::Ogg && !unknownLength &&
                            info.frames / 8 > Input.Length() * info.samplerate / 1000;
  if ((unknownLength && kind == TKind::Flac) || absurdLength)
    info.frames = S->countFrames(info.channels);
  // An Ogg stream whose end is missing has no last position to give a length.
  else if (unknownLength)
    failed(QStringLiteral("is cut short: its stream stops without its end mark"));

  TDecodedFormat& f = FFormat;
  f.Channels = info.channels;
  f.SampleRate = info.samplerate;
  f.Frames = info.frames;
  switch (kind) {
  case TKind::Flac:
    f.Name = QStringLiteral("FLAC");
    break;
  case TKind::Ogg:
    f.Name = sub == SF_FORMAT_OPUS ? QStringLiteral("Opus") : QStringLiteral("Ogg Vorbis");
    break;
  case TKind::Aiff:
    f.Name = QStringLiteral("AIFF");
    break;
  case TKind::Aifc:
    f.Name = QStringLiteral("AIFC");
    break;
  case TKind::Caf:
    f.Name = QStringLiteral("CAF");
    break;
  case TKind::W64:
    f.Name = QStringLiteral("W64");
    break;
  case TKind::Rf64:
    f.Name = QStringLiteral("RF64");
    break;
  default:
    break;
  }
  int stored = 0; // bits of a sample stored as it is, whose byte rate is exact
  switch (sub) {
  case SF_FORMAT_PCM_S8:
  case SF_FORMAT_PCM_U8:
    f.Bits = 8;
    stored = 8;
    break;
  case SF_FORMAT_PCM_16:
    f.Bits = 16;
    stored = 16;
    break;
  case SF_FORMAT_PCM_24:
    f.Bits = 24;
    stored = 24;
    break;
  case SF_FORMAT_PCM_32:
    f.Bits = 32;
    stored = 32;
    break;
  case SF_FORMAT_FLOAT:
    f.Bits = 32;
    f.Float = true;
    stored = 32;
    S->Type = TSampleType::Float;
    break;
  case SF_FORMAT_DOUBLE:
    f.Bits = 64;
    f.Float = true;
    stored = 64;
    S->Type = TSampleType::Double;
    break;
  case SF_FORMAT_ALAC_16:
    f.Bits = 16;
    break;
  case SF_FORMAT_ALAC_20:
    f.Bits = 20;
    break;
  case SF_FORMAT_ALAC_24:
    f.Bits = 24;
    break;
  case SF_FORMAT_ALAC_32:
    f.Bits = 32;
    break;
  case SF_FORMAT_ULAW:
    f.Codec = QString::fromUtf8("µ-law");
    stored = 8;
    break;
  case SF_FORMAT_ALAW:
    f.Codec = QStringLiteral("A-law");
    stored = 8;
    break;
  case SF_FORMAT_VORBIS:
    f.Codec = QStringLiteral("Vorbis");
    S->Type = TSampleType::Float;
    break;
  case SF_FORMAT_OPUS:
    f.Codec = QStringLiteral("Opus");
    S->Type = TSampleType::Float;
    break;
  case SF_FORMAT_MPEG_LAYER_I:
    f.Codec = QStringLiteral("MP1");
    S->Type = TSampleType::Float;
    break;
  case SF_FORMAT_MPEG_LAYER_II:
    f.Codec = QStringLiteral("MP2");
    S->Type = TSampleType::Float;
    break;
  case SF_FORMAT_MPEG_LAYER_III:
    f.Codec = QStringLiteral("MP3");
    S->Type = TSampleType::Float;
    break;
  default: {
    SF_FORMAT_INFO about{};
    about.format = sub;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &about, sizeof about) == 0 && about.name)
      f.Codec = QString::fromUtf8(about.name);
    else
      f.Codec = QStringLiteral("encoding 0x%1").arg(sub, 4, 16, QLatin1Char('0'));
  }
  }
  if (kind == TKind::Mpeg)
    f.Name = f.Codec;

  if (stored > 0 && kind != TKind::Flac)
    f.BitRate = std::int64_t(stored) * f.Channels * f.SampleRate;
  if (kind == TKind::Mpeg) {
    // The first frame's header: a CBR stream's bit rate, and whether a
    // Xing or Info tag in it holds the exact length; without one the
    // length is libsndfile's estimate from the file's size.
    std::uint8_t frame[64] = {};
    const std::int64_t got = S->readAt(start, frame, sizeof frame);
    S->rethrow();
    const TMpegHeader h = mpegHeader(frame);
    const int tagAt = 4 + h.SideInfo;
    const bool tagged = got >= tagAt + 8 &&
                        (std::memcmp(frame + tagAt, "Xing", 4) == 0 ||
                         std::memcmp(frame + tagAt, "Info", 4) == 0) &&
                        (frame[tagAt + 7] & 1) != 0; // the frame count is there
    f.ExactLength = tagged;
    // An estimate is no more than the file's bytes hold at 8 kbit/s, the
    // least rate MPEG audio has. A damaged stream whose stray tag said two
    // billion frames made a 1.4 kB file an eight-gigabyte load of silence.
    const std::int64_t most = Input.Length() * f.SampleRate / 1000;
    if (!tagged && f.Frames > most)
      f.Frames = most;
    if (sf_command(S->File, SFC_GET_BITRATE_MODE, nullptr, 0) == SF_BITRATE_MODE_CONSTANT)
      f.BitRate = std::int64_t(h.BitRate) * 1000;
  }
  // Elsewhere: the file's average, headers and all.
  if (f.BitRate == 0 && f.Frames > 0)
    f.BitRate =
        std::int64_t(std::llround(double(Input.Length()) * 8 * f.SampleRate / double(f.Frames)));

  S->Left = std::make_unique_for_overwrite<std::int16_t[]>(std::size_t(RingFrames));
  S->Right = std::make_unique_for_overwrite<std::int16_t[]>(std::size_t(RingFrames));
  const std::size_t buffer = std::size_t(ChunkFrames) * std::size_t(f.Channels);
  if (S->Type == TSampleType::Float)
    S->Floats = std::make_unique_for_overwrite<float[]>(buffer);
  else if (S->Type == TSampleType::Double)
    S->Doubles = std::make_unique_for_overwrite<double[]>(buffer);
  if (S->Type != TSampleType::Double)
    S->Ints = std::make_unique_for_overwrite<int[]>(buffer);
}

TSoundDecoder::~TSoundDecoder() = default;

void TSoundDecoder::failed(const QString& Why)
{
  throw EWaveFileError(QStringLiteral("%1 %2").arg(FName, Why).toStdString());
}

void TSoundDecoder::CheckEnd()
{
  if (FFormat.Frames <= 0 || !FFormat.ExactLength)
    return;
  std::int16_t last = 0;
  Read(FFormat.Frames - 1, 1, &last, nullptr);
}

void TSoundDecoder::seek(std::int64_t Frame)
{
  TState& s = *S;
  s.Held = 0;
  s.PastEnd = false;
  const sf_count_t at = s.NoSeek ? -1 : sf_seek(s.File, Frame, SEEK_SET);
  s.rethrow();
  if (at == Frame) {
    s.Next = Frame;
    return;
  }
  if (!FFormat.ExactLength) {
    s.Next = Frame; // beyond the stream's real end: silence
    s.PastEnd = true;
    return;
  }
  const QString why = decoderWords(sf_strerror(s.File));
  // Some streams decode from the start but cannot seek (a FLAC whose header
  // gives no usable block size, GSM in AIFC): decoded through from a fresh
  // start, they read as a whole load reads them.
  SF_INFO info{};
  if (Frame < FFormat.Frames && s.open(info)) {
    s.Next = 0;
    while (s.Next + ChunkFrames <= Frame)
      decodeMore();
    return;
  }
  failed(QStringLiteral("is cut short or damaged: sample %1 of %2 cannot be reached (%3)")
             .arg(Frame)
             .arg(FFormat.Frames)
             .arg(why));
}

void TSoundDecoder::decodeMore()
{
  TState& s = *S;
  // Always a whole chunk, whatever the caller wants: a damaged stream then
  // decodes to the same samples however it is read.
  const std::int64_t n = ChunkFrames;
  const int channels = FFormat.Channels;
  sf_count_t got = 0;
  if (!s.PastEnd) {
    switch (s.Type) {
    case TSampleType::Int:
      got = sf_readf_int(s.File, s.Ints.get(), n);
      break;
    case TSampleType::Float:
      got = sf_readf_float(s.File, s.Floats.get(), n);
      break;
    case TSampleType::Double:
      got = sf_readf_double(s.File, s.Doubles.get(), n);
      break;
    }
    s.rethrow();
  }
  if (got <= 0) {
    if (FFormat.ExactLength) {
      const int error = sf_error(s.File);
      failed(QStringLiteral("is cut short: sample %1 of the %2 its header promises cannot be "
                            "decoded%3")
                 .arg(s.Next)
                 .arg(FFormat.Frames)
                 .arg(error ? QStringLiteral(" (%1)").arg(decoderWords(sf_strerror(s.File)))
                            : QString()));
    }
    // An estimated length past the stream's end reads as silence.
    s.PastEnd = true;
    for (std::int64_t done = 0; done < n;) {
      const std::int64_t at = (s.Next + done) & (RingFrames - 1);
      const std::int64_t run = std::min(n - done, RingFrames - at);
      std::memset(s.Left.get() + at, 0, std::size_t(run) * 2);
      std::memset(s.Right.get() + at, 0, std::size_t(run) * 2);
      done += run;
    }
    got = n;
  } else {
    if (s.Type == TSampleType::Float)
      floatsToSamples(s.Floats.get(), s.Ints.get(), got * channels);
    // Into the ring in at most two runs where it wraps, each a plain loop
    // of one type, which the compiler vectorises.
    for (std::int64_t done = 0; done < got;) {
      const std::int64_t at = (s.Next + done) & (RingFrames - 1);
      const std::int64_t run = std::min(got - done, RingFrames - at);
      std::int16_t* l = s.Left.get() + at;
      std::int16_t* r = s.Right.get() + at;
      const std::size_t from = std::size_t(done) * std::size_t(channels);
      switch (s.Type) {
      case TSampleType::Int:
        deinterleave(s.Ints.get() + from, channels, run, l, r,
                     [](int x) { return std::int16_t(x >> 16); });
        break;
      case TSampleType::Float:
        deinterleave(s.Ints.get() + from, channels, run, l, r,
                     [](int x) { return std::int16_t(x); });
        break;
      case TSampleType::Double:
        deinterleave(s.Doubles.get() + from, channels, run, l, r, fromFloat);
        break;
      }
      done += run;
    }
  }
  s.Next += got;
  s.Held = std::min(s.Held + got, RingFrames);
}

void TSoundDecoder::Read(std::int64_t First, std::int64_t Count, std::int16_t* Left,
                         std::int16_t* Right)
{
  TState& s = *S;
  if (Right && FFormat.Channels < 2) {
    std::fill(Right, Right + Count, std::int16_t(0));
    Right = nullptr;
  }
  while (Count > 0) {
    if (First < s.Next && First >= s.Next - s.Held) {
      // From the ring, in at most two runs where it wraps.
      const std::int64_t n = std::min(Count, s.Next - First);
      for (std::int64_t done = 0; done < n;) {
        const std::int64_t at = (First + done) & (RingFrames - 1);
        const std::int64_t run = std::min(n - done, RingFrames - at);
        if (Left)
          std::memcpy(Left + done, s.Left.get() + at, std::size_t(run) * 2);
        if (Right)
          std::memcpy(Right + done, s.Right.get() + at, std::size_t(run) * 2);
        done += run;
      }
      First += n;
      Count -= n;
      if (Left)
        Left += n;
      if (Right)
        Right += n;
      continue;
    }
    // A short way ahead is decoded through rather than sought: cheaper for
    // a compressed stream, and exact whatever the format.
    if (First < s.Next || First - s.Next > RingFrames)
      seek(First);
    decodeMore();
  }
}

std::array<QList<std::int16_t>, 2>
TSoundDecoder::ReadAll(std::int64_t Count, const std::function<void(std::int64_t Done)>& Progress)
{
  // What the file could plausibly hold is reserved at once, so that a long
  // file's arrays are allocated once, at their size; beyond it they grow.
  const std::int64_t plausible =
      std::max<std::int64_t>(std::int64_t(1) << 20, S->Input.Length() * 256);
  std::array<QList<std::int16_t>, 2> channels;
  const int wanted = std::min(FFormat.Channels, 2);
  for (int k = 0; k < wanted; ++k)
    channels[std::size_t(k)].reserve(qsizetype(std::min(Count, plausible)));
  constexpr std::int64_t Slice = std::int64_t(1) << 18;
  for (std::int64_t done = 0; done < Count;) {
    const std::int64_t n = std::min(Slice, Count - done);
    std::int16_t* out[2] = {nullptr, nullptr};
    for (int k = 0; k < wanted; ++k) {
      channels[std::size_t(k)].resize(qsizetype(done + n));
      out[k] = channels[std::size_t(k)].data() + done;
    }
    Read(done, n, out[0], out[1]);
    done += n;
    if (Progress)
      Progress(done);
  }
  for (QList<std::int16_t>& c : channels)
    c.squeeze();
  return channels;
}

QStringList SoundFilePatterns()
{
  return {QStringLiteral("*.wav"), QStringLiteral("*.flac"), QStringLiteral("*.ogg"),
          QStringLiteral("*.oga"), QStringLiteral("*.opus"), QStringLiteral("*.mp3"),
          QStringLiteral("*.aif"), QStringLiteral("*.aiff"), QStringLiteral("*.aifc"),
          QStringLiteral("*.caf"), QStringLiteral("*.w64"),  QStringLiteral("*.rf64")};
}

} // namespace duv
