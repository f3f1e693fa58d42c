#include "wavefile/WaveFileParser.h"

#include <QFile>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace duv {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool sameId(const char* a, const char* b)
{
  for (int i = 0; i < 4; ++i)
    if (upper(a[i]) != upper(b[i]))
      return false;
  return true;
}

[[noreturn]] void fail(const QString& text) { throw EWaveFileError(text.toStdString()); }

std::uint32_t readU32(const char* p)
{
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v; // the files are little-endian, like every machine we build for
}

// Why a file that is not a regular file is refused.
QString notRegularReason(mode_t mode)
{
  if (S_ISDIR(mode))
    return QStringLiteral("it is a directory, not a regular file");
  if (S_ISFIFO(mode))
    return QStringLiteral("it is a named pipe (FIFO), not a regular file");
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return QStringLiteral("it is a device, not a regular file");
  if (S_ISSOCK(mode))
    return QStringLiteral("it is a socket, not a regular file");
  return QStringLiteral("it is not a regular file");
}

[[noreturn]] void cannotOpen(const QString& name, const QString& reason)
{
  fail(QStringLiteral("Cannot open file %1: %2").arg(name, reason));
}

struct FileDescriptor
{
  int fd;
  ~FileDescriptor()
  {
    if (fd >= 0)
      ::close(fd);
  }
};

// The bytes of a regular file, as long as it was when opened. Anything else
// is refused before it is read: a FIFO without a writer blocks an open for
// ever, and a FIFO or a device may never end.
QByteArray readRegularFile(const QString& name)
{
  const QByteArray path = QFile::encodeName(name);
  struct stat info;
  if (::stat(path.constData(), &info) != 0)
    cannotOpen(name, qt_error_string(errno));
  // Checked before the open too, since opening a device can act on it.
  if (!S_ISREG(info.st_mode))
    cannotOpen(name, notRegularReason(info.st_mode));
  // Not blocking, so that a FIFO put in the file's place since the check
  // cannot block the open either; fstat then tells what was opened.
  const FileDescriptor file{::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0)
    cannotOpen(name, qt_error_string(errno));
  if (::fstat(file.fd, &info) != 0)
    cannotOpen(name, qt_error_string(errno));
  if (!S_ISREG(info.st_mode))
    cannotOpen(name, notRegularReason(info.st_mode));

  QByteArray bytes;
  try {
    bytes.resize(qsizetype(info.st_size));
  } catch (const std::bad_alloc&) {
    fail(QStringLiteral("%1 is too large to load (%2 bytes)").arg(name).arg(info.st_size));
  }
  qsizetype got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(file.fd, bytes.data() + got, std::size_t(bytes.size() - got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      fail(QStringLiteral("Cannot read file %1: %2").arg(name, qt_error_string(errno)));
    if (n == 0)
      break; // cut short while we read: take what is there
    got += n;
  }
  bytes.truncate(got);
  return bytes;
}

constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// The common format tags, named in the message that refuses them.
struct FormatTagName
{
  std::uint16_t Tag;
  const char* Name;
  bool Compressed;
};
constexpr FormatTagName FormatTagNames[] = {
    {0x0002, "MS ADPCM", true},   {0x0003, "IEEE float", false},  {0x0006, "A-law", true},
    {0x0007, "µ-law", true},      {0x0011, "IMA ADPCM", true},    {0x0014, "G.723 ADPCM", true},
    {0x0022, "TrueSpeech", true}, {0x0031, "GSM 6.10", true},     {0x0040, "G.721 ADPCM", true},
    {0x0050, "MPEG", true},       {0x0055, "MPEG Layer 3", true}, {0x0064, "G.726 ADPCM", true},
    {0x0092, "AC-3", true},       {0x0160, "WMA", true},          {0x0161, "WMA", true},
};

// The sample encodings that ParseFormat unpacks, whatever the width. Taking
// another (floating point, say) needs its case in the unpacking too.
bool canUnpack(std::uint16_t encoding)
{
  return encoding == WAVE_FORMAT_PCM;
}

[[noreturn]] void cannotUnpack(const QString& name, std::uint16_t encoding)
{
  const QString hex = "0x" + QStringLiteral("%1").arg(encoding, 4, 16, QLatin1Char('0')).toUpper();
  for (const FormatTagName& t : FormatTagNames)
    if (t.Tag == encoding)
      fail(QStringLiteral("%1 uses %2format %3 (%4), which cannot be read")
               .arg(name, t.Compressed ? QStringLiteral("compressed ") : QString(), hex,
                    QString::fromUtf8(t.Name)));
  fail(QStringLiteral("%1 uses format %2, which cannot be read").arg(name, hex));
}

// The encoding of the samples: the format tag, or for an extensible record
// the tag its sub-format GUID stands for.
std::uint16_t sampleEncoding(const TRiffChunk& fmt, const QString& name)
{
  std::uint16_t tag;
  std::memcpy(&tag, fmt.Data.data(), 2);
  if (tag != WAVE_FORMAT_EXTENSIBLE)
    return tag;
  // cbSize, the valid bits and the channel mask come first; the sub-format
  // GUID at offset 24 ends the record.
  if (fmt.Size < 40)
    fail(QStringLiteral("%1 has an extensible format record of only %2 bytes")
             .arg(name)
             .arg(fmt.Size));
  const std::uint8_t* g = fmt.Data.data() + 24;
  std::uint32_t data1;
  std::uint16_t data2, data3;
  std::memcpy(&data1, g, 4);
  std::memcpy(&data2, g + 4, 2);
  std::memcpy(&data3, g + 6, 2);
  const QUuid subFormat(data1, data2, data3, g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
  // A tag's GUID is xxxx0000-0000-0010-8000-00aa00389b71, the tag in place of xxxx.
  const std::uint16_t inner = std::uint16_t(data1 & 0xFFFF);
  if (subFormat != QUuid(inner, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71))
    fail(QStringLiteral("%1 uses an extensible format with sub-format %2, which cannot be read")
             .arg(name, subFormat.toString(QUuid::WithBraces)));
  return inner;
}

} // namespace

void TSoundFile::SetFileName(const QString& Name)
{
  if (Name == FFileName)
    return;
  FFileName = Name;
  try {
    LoadFile();
  } catch (...) {
    // Forget the failed name so that trying the same file again (after it
    // was fixed or finished copying) reads it rather than doing nothing.
    FFileName.clear();
    throw;
  }
}

const TRiffChunk* TSoundFile::Chunk(int Index) const
{
  if (Index < 0 || Index >= ChunkCount())
    return nullptr;
  return FChunks[Index].get();
}

const TRiffChunk* TSoundFile::FindChunk(std::uint32_t ID) const
{
  char id[4];
  std::memcpy(id, &ID, 4);
  for (const auto& c : FChunks)
    if (sameId(c->ID, id))
      return c.get();
  return nullptr;
}

void TSoundFile::ClearChunks()
{
  FChunks.clear();
  FSoundData.Data = nullptr;
}

void TSoundFile::LoadFile()
{
  clear();
  loadImage(readRegularFile(FFileName));
}

void TSoundFile::LoadFromMemory(QByteArrayView Bytes, const QString& Name)
{
  FFileName = Name;
  try {
    loadImage(Bytes);
  } catch (...) {
    FFileName.clear();
    throw;
  }
}

void TSoundFile::clear()
{
  ClearChunks();
  FSoundData = TSoundData();
}

void TSoundFile::loadImage(QByteArrayView bytes)
{
  // Every load starts from nothing, whoever calls it: the chunks of the last
  // load must not pile up, nor its converted samples be converted again. A
  // failed load leaves nothing behind either.
  clear();
  try {
    walkChunks(bytes);
    ParseFormat();
  } catch (...) {
    clear();
    throw;
  }
}

void TSoundFile::walkChunks(QByteArrayView bytes)
{
  const qint64 length = bytes.size();
  const char* p = bytes.data();
  if (length < 12 || !sameId(p, "RIFF") || !sameId(p + 8, "WAVE"))
    fail(QStringLiteral("%1 is not a RIFF/WAVE sound file").arg(FFileName));

  qint64 pos = 12;
  while (pos + 8 <= length) {
    const std::uint32_t declared = readU32(p + pos + 4);
    // A declared size beyond the end of the file is cut to what is there, so
    // a damaged header can neither make us allocate gigabytes nor invent
    // samples the file does not hold.
    const qint64 present = std::min<qint64>(declared, length - (pos + 8));
    auto chunk = std::make_unique<TRiffChunk>();
    std::memcpy(chunk->ID, p + pos, 4);
    chunk->Size = std::uint32_t(present);
    chunk->Data.assign(p + pos + 8, p + pos + 8 + present);
    FChunks.push_back(std::move(chunk));
    pos += 8 + qint64(declared) + (declared & 1); // chunks are padded to even sizes
  }
}

void TSoundFile::ParseFormat()
{
  const TRiffChunk* fmt = FindChunk(FourCC("fmt "));
  const TRiffChunk* data = FindChunk(FourCC("data"));
  if (!fmt)
    fail(QStringLiteral("%1 has no \"fmt \" chunk").arg(FFileName));
  if (!data)
    fail(QStringLiteral("%1 has no \"data\" chunk").arg(FFileName));
  if (fmt->Size < 16)
    fail(QStringLiteral("%1 has a \"fmt \" chunk of only %2 bytes").arg(FFileName).arg(fmt->Size));

  TSoundData& sd = FSoundData;
  sd.Format = WAVEFORMATEX();
  // A 16- or 17-byte chunk has no complete cbSize: it reads as 0.
  std::memcpy(&sd.Format, fmt->Data.data(), fmt->Size >= 18 ? 18 : 16);
  WAVEFORMATEX& f = sd.Format;
  // Compressed data unpacked as PCM would give a plausible but wrong spectrum.
  const std::uint16_t encoding = sampleEncoding(*fmt, FFileName);
  if (!canUnpack(encoding))
    cannotUnpack(FFileName, encoding);
  // A rate of 0 puts every bin of a spectrum at 0 Hz.
  if (f.nSamplesPerSec == 0)
    fail(QStringLiteral("%1 has a sample rate of 0 Hz").arg(FFileName));

  // Bytes per frame rounded half away from zero: 12-bit mono takes 2. In 64
  // bits, like all size arithmetic on fields from the file: 65535 channels
  // of 65535 bits overflow an int.
  const std::int64_t bytesPerFrame = (std::int64_t(f.nChannels) * f.wBitsPerSample + 4) / 8;
  if (bytesPerFrame == 0)
    fail(QStringLiteral("%1 has a format with no bytes per sample frame (%2 channels, %3 bits)")
             .arg(FFileName)
             .arg(f.nChannels)
             .arg(f.wBitsPerSample));

  std::uint64_t samples = std::uint64_t(data->Size) / std::uint64_t(bytesPerFrame);
  if (f.wBitsPerSample == 4 && f.nChannels == 1)
    samples = 2 * std::uint64_t(data->Size); // two samples share a byte
  const std::uint64_t maxSamples = std::uint64_t(std::numeric_limits<std::int32_t>::max());
  sd.SamplesPerChannel = std::int32_t(std::min(samples, maxSamples));
  sd.Data = data->Data.data();

  // The chunk is ours: convert 24-bit samples to their top 16 bits in place.
  auto* bytes = const_cast<std::uint8_t*>(sd.Data);
  if (f.wBitsPerSample == 24) {
    const std::uint64_t count = std::uint64_t(sd.SamplesPerChannel) * f.nChannels;
    for (std::uint64_t s = 0; s < count; ++s) {
      const std::uint8_t* p = bytes + 3 * s;
      std::int32_t v = std::int32_t(p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16));
      if (v & 0x800000)
        v -= 0x1000000;
      const std::int16_t w = std::int16_t(v >> 8);
      std::memcpy(bytes + 2 * s, &w, 2);
    }
    f.wBitsPerSample = 16;
    f.nBlockAlign = std::uint16_t(2 * f.nChannels);
  }

  const int n = sd.SamplesPerChannel;
  const int stride = f.nChannels;
  sd.Channels = TChannelArray();
  // Files with more than two channels keep their count in the format; the
  // first two are unpacked.
  for (int k = 0; k < std::min(stride, 2); ++k) {
    TSoundArray a;
    switch (f.wBitsPerSample) {
    case 8:
      a.resize(n);
      for (int i = 0; i < n; ++i)
        a[i] = bytes[k + std::size_t(stride) * i];
      break;
    case 16:
      a.resize(n);
      for (int i = 0; i < n; ++i) {
        std::int16_t w;
        std::memcpy(&w, bytes + 2 * (k + std::size_t(stride) * i), 2);
        a[i] = w;
      }
      break;
    case 4:
      a.resize(n);
      if (stride == 1) {
        for (int i = 0; i < n; ++i)
          a[i] = (i % 2 == 0) ? (bytes[i / 2] & 0x0F) : (bytes[i / 2] >> 4);
      } else if (stride == 2) {
        for (int i = 0; i < n; ++i)
          a[i] = (k == 0) ? (bytes[i] & 0x0F) : (bytes[i] >> 4);
      } else {
        std::fill(a.begin(), a.end(), 0);
      }
      break;
    default:
      break; // other widths are shown but not unpacked
    }
    sd.Channels[k] = a;
  }
}

} // namespace duv
