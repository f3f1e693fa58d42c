// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/WaveFileParser.h"

#include "support/SafeFile.h"

#include <QFile>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

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

[[noreturn]] void cannotOpen(const QString& name, const QString& reason)
{
  fail(QStringLiteral("Cannot open file %1: %2").arg(name, reason));
}

// A file that no longer holds what it held when it was opened, or that was
// replaced since its headers were read: its samples would be made up.
[[noreturn]] void failChanged(const QString& name)
{
  fail(QStringLiteral("%1 changed while it was read").arg(name));
}

struct FileDescriptor
{
  int fd = -1;
  explicit FileDescriptor(int f) : fd(f) {}
  FileDescriptor(FileDescriptor&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  ~FileDescriptor()
  {
    if (fd >= 0)
      ::close(fd);
  }
};

// Opens a regular file for reading and gives what fstat says of it when
// opened. Anything else is refused before it is read: a FIFO without a writer
// blocks an open for ever, and a FIFO or a device may never end.
FileDescriptor openRegularFile(const QString& name, struct stat& info)
{
  const QByteArray path = QFile::encodeName(name);
  if (::stat(path.constData(), &info) != 0)
    cannotOpen(name, qt_error_string(errno));
  // Checked before the open too, since opening a device can act on it.
  if (!S_ISREG(info.st_mode))
    cannotOpen(name, NotRegularFileReason(info.st_mode));
  // Not blocking, so that a FIFO put in the file's place since the check
  // cannot block the open either; fstat then tells what was opened.
  FileDescriptor file{::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0)
    cannotOpen(name, qt_error_string(errno));
  if (::fstat(file.fd, &info) != 0)
    cannotOpen(name, qt_error_string(errno));
  if (!S_ISREG(info.st_mode))
    cannotOpen(name, NotRegularFileReason(info.st_mode));
  return file;
}

constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// The common compressed format tags, named in the message that refuses them.
struct FormatTagName
{
  std::uint16_t Tag;
  const char* Name;
};
constexpr FormatTagName FormatTagNames[] = {
    {0x0002, "MS ADPCM"},    {0x0006, "A-law"},        {0x0007, "µ-law"},
    {0x0011, "IMA ADPCM"},   {0x0014, "G.723 ADPCM"},  {0x0022, "TrueSpeech"},
    {0x0031, "GSM 6.10"},    {0x0040, "G.721 ADPCM"},  {0x0050, "MPEG"},
    {0x0055, "MPEG Layer 3"}, {0x0064, "G.726 ADPCM"}, {0x0092, "AC-3"},
    {0x0160, "WMA"},         {0x0161, "WMA"},
};

// The sample encodings that ParseFormat unpacks: integers of any width (some
// widths are only shown), and floating point of 32 or 64 bits.
bool canUnpack(std::uint16_t encoding)
{
  return encoding == WAVE_FORMAT_PCM || encoding == WAVE_FORMAT_IEEE_FLOAT;
}

[[noreturn]] void cannotUnpack(const QString& name, std::uint16_t encoding)
{
  const QString hex = "0x" + QStringLiteral("%1").arg(encoding, 4, 16, QLatin1Char('0')).toUpper();
  for (const FormatTagName& t : FormatTagNames)
    if (t.Tag == encoding)
      fail(QStringLiteral("%1 uses compressed format %2 (%3), which cannot be read")
               .arg(name, hex, QString::fromUtf8(t.Name)));
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

// Bytes fetched at a time: large enough that a system call is rare, small
// enough that a slice of a long file stays in the cache while it is unpacked.
constexpr qint64 SliceBytes = qint64(1) << 20;

} // namespace

// The bytes of a file image: fetched in slices so that a long "data" chunk
// is unpacked without ever being held whole.
class TByteSource
{
public:
  explicit TByteSource(qint64 length) : FLength(length) {}
  virtual ~TByteSource() = default;
  qint64 Length() const { return FLength; }
  // The bytes [pos, pos + len), which lie within Length(), valid until the
  // next call. Throws EWaveFileError for a file that no longer holds them.
  virtual const std::uint8_t* Fetch(qint64 pos, qint64 len) = 0;

private:
  qint64 FLength;
};

namespace {

class TMemorySource : public TByteSource
{
public:
  explicit TMemorySource(QByteArrayView bytes) : TByteSource(bytes.size()), FBytes(bytes) {}
  const std::uint8_t* Fetch(qint64 pos, qint64) override
  {
    return reinterpret_cast<const std::uint8_t*>(FBytes.data()) + pos;
  }

private:
  QByteArrayView FBytes;
};

// A regular file read through a window of its bytes: the chunk headers of a
// walk mostly come from one read, a slice of samples from one more.
class TFileSource : public TByteSource
{
public:
  TFileSource(FileDescriptor file, qint64 length, const QString& name)
      : TByteSource(length), FFile(std::move(file)), FName(name)
  {
  }

  const std::uint8_t* Fetch(qint64 pos, qint64 len) override
  {
    if (pos >= FPos && pos + len <= FPos + FFilled)
      return FWindow.data() + (pos - FPos);
    // At least the bytes asked for, and as many more as the file had when
    // it was opened.
    const qint64 want = std::max(len, std::min(SmallRead, Length() - pos));
    if (qint64(FWindow.size()) < want)
      FWindow.resize(std::size_t(want));
    qint64 got = 0;
    while (got < want) {
      const ssize_t n = ::pread(FFile.fd, FWindow.data() + got, std::size_t(want - got), pos + got);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        fail(QStringLiteral("Cannot read file %1: %2").arg(FName, qt_error_string(errno)));
      if (n == 0) // cut short since it was opened: what is missing is not silence
        failChanged(FName);
      got += n;
    }
    FPos = pos;
    FFilled = want;
    return FWindow.data();
  }

private:
  static constexpr qint64 SmallRead = 64 * 1024;
  FileDescriptor FFile;
  QString FName;
  std::vector<std::uint8_t> FWindow;
  qint64 FPos = 0, FFilled = 0;
};

// The decoder's view of a file image.
class TSourceInput : public TDecoderInput
{
public:
  explicit TSourceInput(TByteSource& source) : FSource(source) {}
  std::int64_t Length() const override { return FSource.Length(); }
  std::int64_t ReadAt(std::int64_t Pos, void* To, std::int64_t Count) override
  {
    const std::int64_t n = std::clamp<std::int64_t>(Length() - Pos, 0, Count);
    if (n > 0)
      std::memcpy(To, FSource.Fetch(Pos, n), std::size_t(n));
    return n;
  }

private:
  TByteSource& FSource;
};

// Whether our own walk reads the file: RIFF/WAVE, and anything too short to
// be another format, which fails as it always did. All else is decoded.
bool isRiffWave(TByteSource& source)
{
  if (source.Length() < 12)
    return true;
  const char* p = reinterpret_cast<const char*>(source.Fetch(0, 12));
  return sameId(p, "RIFF") && sameId(p + 8, "WAVE");
}

std::int16_t le16At(const std::uint8_t* p)
{
  std::int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// A 24-bit sample reduced to its top 16 bits (bit 23 is the sign).
std::int16_t top16Of24(const std::uint8_t* p)
{
  return std::int16_t(std::uint16_t(p[1] | (p[2] << 8)));
}

// A 32-bit sample reduced to its top 16 bits.
std::int16_t top16Of32(const std::uint8_t* p) { return le16At(p + 2); }

// A floating-point sample as a 16-bit one: +-1.0 is full scale, as a 16-bit
// sample s is s / 32768. Rounded down like the integer reductions, so a file
// written from 16-bit samples reads them back exactly. Beyond full scale it
// clips; NaN, which is no level at all, reads as silence.
std::int16_t fromFloat(double x)
{
  if (std::isnan(x))
    return 0;
  return std::int16_t(std::clamp(std::floor(x * 32768.0), -32768.0, 32767.0));
}

template <typename F> std::int16_t fromFloatAt(const std::uint8_t* p)
{
  F x;
  std::memcpy(&x, p, sizeof x);
  return fromFloat(double(x));
}

// Unpacks `count` frames from `bytes` (the first frame's first byte) into
// out[0] and out[1] (null for a channel not wanted) at the same index. The
// layout's width is one ParseFormat unpacks; 4-bit mono is unpacked by
// unpackNibbles instead.
void unpackFrames(const TSampleLayout& l, const std::uint8_t* bytes, std::int64_t count,
                  std::int16_t* const out[2])
{
  const std::int64_t stride = l.BytesPerFrame;
  for (int k = 0; k < 2; ++k) {
    std::int16_t* o = out[k];
    if (!o)
      continue;
    switch (l.Bits) {
    case 4:
      // Stereo: channel 0 in the low nibble, 1 in the high one. Other counts
      // of 4-bit channels are not laid out in a way we know: zeros.
      if (l.Channels == 2)
        for (std::int64_t i = 0; i < count; ++i)
          o[i] = std::int16_t(k == 0 ? (bytes[i] & 0x0F) : (bytes[i] >> 4));
      else
        std::fill(o, o + count, std::int16_t(0));
      break;
    case 8: {
      const std::uint8_t* p = bytes + k;
      for (std::int64_t i = 0; i < count; ++i)
        o[i] = p[i * stride]; // unsigned, not re-centred
      break;
    }
    case 16: {
      const std::uint8_t* p = bytes + 2 * k;
      if (stride == 2)
        std::memcpy(o, p, std::size_t(count) * 2);
      else
        for (std::int64_t i = 0; i < count; ++i)
          o[i] = le16At(p + i * stride);
      break;
    }
    case 24: {
      const std::uint8_t* p = bytes + 3 * k;
      for (std::int64_t i = 0; i < count; ++i)
        o[i] = top16Of24(p + i * stride);
      break;
    }
    case 32: {
      const std::uint8_t* p = bytes + 4 * k;
      if (l.Encoding == WAVE_FORMAT_IEEE_FLOAT)
        for (std::int64_t i = 0; i < count; ++i)
          o[i] = fromFloatAt<float>(p + i * stride);
      else
        for (std::int64_t i = 0; i < count; ++i)
          o[i] = top16Of32(p + i * stride);
      break;
    }
    case 64: {
      const std::uint8_t* p = bytes + 8 * k;
      for (std::int64_t i = 0; i < count; ++i)
        o[i] = fromFloatAt<double>(p + i * stride);
      break;
    }
    default:
      break;
    }
  }
}

// 4-bit mono: samples [first, first + count) of the chunk, two to a byte,
// the even ones in the low nibble; `bytes` holds byte first / 2 on.
void unpackNibbles(const std::uint8_t* bytes, std::int64_t first, std::int64_t count,
                   std::int16_t* out)
{
  for (std::int64_t j = first; j < first + count; ++j) {
    const std::uint8_t b = bytes[j / 2 - first / 2];
    out[j - first] = std::int16_t((j % 2 == 0) ? (b & 0x0F) : (b >> 4));
  }
}

// Frames [first, first + count) of a layout that is unpacked into out[0] and
// out[1] (null for a channel not wanted, and for one the file lacks), a
// slice at a time.
void unpackRange(TByteSource& source, const TSampleLayout& l, std::int64_t first,
                 std::int64_t count, std::int16_t* const out[2],
                 const std::function<void(std::int64_t bytes)>& progress)
{
  const std::int64_t end = first + count;
  if (l.Bits == 4 && l.Channels == 1) {
    std::int16_t* at = out[0];
    while (first < end) {
      const std::int64_t n = std::min<std::int64_t>(2 * SliceBytes, end - first);
      const std::int64_t bytes = (first + n + 1) / 2 - first / 2;
      if (at) {
        unpackNibbles(source.Fetch(l.DataOffset + first / 2, bytes), first, n, at);
        at += n;
      }
      first += n;
      if (progress)
        progress(bytes);
    }
    return;
  }
  // Only the bytes of the first two channels of a frame are needed: a frame
  // of thousands of channels is not fetched whole.
  const int wanted = std::min(l.Channels, 2);
  const std::int64_t used = std::min(l.BytesPerFrame, (l.Bits + 7) / 8 * std::int64_t(wanted));
  const std::int64_t sliceFrames = std::max<std::int64_t>(1, SliceBytes / l.BytesPerFrame);
  std::int16_t* at[2] = {out[0], out[1]};
  while (first < end) {
    const std::int64_t n = std::min(sliceFrames, end - first);
    const std::uint8_t* bytes =
        source.Fetch(l.DataOffset + first * l.BytesPerFrame, (n - 1) * l.BytesPerFrame + used);
    unpackFrames(l, bytes, n, at);
    for (std::int16_t*& p : at)
      if (p)
        p += n;
    first += n;
    if (progress)
      progress(n * l.BytesPerFrame);
  }
}

} // namespace

QString TruncationNote(const TSoundFile& File)
{
  const TSampleLayout& l = File.SampleLayout();
  // All ones is what writers that cannot seek back put for a length they
  // did not know: such a file is not cut short.
  if (l.DataOffset < 0 || l.DataDeclared <= l.DataSize || l.DataDeclared == 0xFFFFFFFF)
    return {};
  return QStringLiteral("%1 is truncated: its header declares %2 bytes of samples, but only %3 "
                        "are present")
      .arg(File.FileName())
      .arg(l.DataDeclared)
      .arg(l.DataSize);
}

bool TSampleLayout::Unpacked() const
{
  if (Decoded)
    return true;
  if (Encoding == WAVE_FORMAT_IEEE_FLOAT)
    return Bits == 32 || Bits == 64;
  return Encoding == WAVE_FORMAT_PCM &&
         (Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32);
}

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

void TSoundFile::ClearChunks() { FChunks.clear(); }

void TSoundFile::LoadFile()
{
  loadFromFile(false);
}

void TSoundFile::loadFromFile(bool headerOnly)
{
  clear();
  struct stat info;
  FileDescriptor file = openRegularFile(FFileName, info);
  TFileSource source(std::move(file), qint64(info.st_size), FFileName);
  load(source, headerOnly);
  FDevice = std::uint64_t(info.st_dev);
  FInode = std::uint64_t(info.st_ino);
}

void TSoundFile::LoadFromMemory(QByteArrayView Bytes, const QString& Name)
{
  FFileName = Name;
  try {
    TMemorySource source(Bytes);
    load(source, false);
  } catch (...) {
    FFileName.clear();
    throw;
  }
}

void TSoundFile::LoadSamples(const TSoundData& Data, const QString& Name)
{
  clear();
  FFileName = Name;
  FSoundData = Data;
  FLayout.Encoding = Data.Format.wFormatTag;
  FLayout.Bits = Data.Format.wBitsPerSample;
  FLayout.Channels = Data.Format.nChannels;
  FLayout.BytesPerFrame = Data.Format.nBlockAlign;
  FLayout.DataSize = FLayout.DataDeclared =
      std::int64_t(Data.SamplesPerChannel) * Data.Format.nBlockAlign;
}

void TSoundFile::LoadHeader(const QString& Name)
{
  clear();
  FFileName = Name;
  try {
    loadFromFile(true);
  } catch (...) {
    FFileName.clear();
    throw;
  }
}

void TSoundFile::clear()
{
  ClearChunks();
  FSoundData = TSoundData();
  FLayout = TSampleLayout();
  FDevice = FInode = 0;
}

void TSoundFile::load(TByteSource& source, bool headerOnly)
{
  // Every load starts from nothing, whoever calls it: the chunks of the last
  // load must not pile up, nor its converted samples be converted again. A
  // failed load leaves nothing behind either.
  clear();
  FDone = 0;
  FTotal = source.Length();
  try {
    progress(0);
    if (!isRiffWave(source)) {
      loadDecoded(source, headerOnly);
    } else {
      walkChunks(source, headerOnly);
      ParseFormat();
      if (!headerOnly)
        unpackSamples(source);
    }
    // Bytes no sample needed (a cut frame, the padding) are done with too.
    progress(FTotal - FDone);
  } catch (const std::bad_alloc&) {
    clear();
    fail(QStringLiteral("%1 is too large to load (%2 bytes)").arg(FFileName).arg(source.Length()));
  } catch (...) {
    clear();
    throw;
  }
}

void TSoundFile::progress(std::int64_t bytes)
{
  FDone += bytes;
  if (OnProgress && !OnProgress(FDone, FTotal))
    throw ELoadCancelled(
        QStringLiteral("Loading %1 was cancelled").arg(FFileName).toStdString());
}

void TSoundFile::walkChunks(TByteSource& source, bool headerOnly)
{
  const qint64 length = source.Length();
  if (length < 12)
    fail(QStringLiteral("%1 is not a RIFF/WAVE sound file").arg(FFileName));
  const char* p = reinterpret_cast<const char*>(source.Fetch(0, 12));
  if (!sameId(p, "RIFF") || !sameId(p + 8, "WAVE"))
    fail(QStringLiteral("%1 is not a RIFF/WAVE sound file").arg(FFileName));
  FDone = 12;

  bool haveFormat = false; // the first "fmt " chunk is the one that counts
  qint64 pos = 12;
  while (pos + 8 <= length) {
    const char* header = reinterpret_cast<const char*>(source.Fetch(pos, 8));
    const std::uint32_t declared = readU32(header + 4);
    // A declared size beyond the end of the file is cut to what is there, so
    // a damaged header can neither make us allocate gigabytes nor invent
    // samples the file does not hold.
    const qint64 present = std::min<qint64>(declared, length - (pos + 8));
    auto chunk = std::make_unique<TRiffChunk>();
    std::memcpy(chunk->ID, header, 4);
    chunk->Size = std::uint32_t(present);
    if (FLayout.DataOffset < 0 && sameId(chunk->ID, "data")) {
      // The samples are read later, slice by slice, into the channels.
      FLayout.DataOffset = pos + 8;
      FLayout.DataSize = present;
      FLayout.DataDeclared = declared;
    } else if (!headerOnly || (!haveFormat && sameId(chunk->ID, "fmt "))) {
      haveFormat = haveFormat || sameId(chunk->ID, "fmt ");
      chunk->Data.resize(std::size_t(present));
      for (qint64 done = 0; done < present;) {
        const qint64 n = std::min(SliceBytes, present - done);
        std::memcpy(chunk->Data.data() + done, source.Fetch(pos + 8 + done, n), std::size_t(n));
        done += n;
        progress(n);
      }
    }
    progress(8);
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
  if (encoding == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample != 32 && f.wBitsPerSample != 64)
    fail(QStringLiteral("%1 uses floating-point samples of %2 bits, which cannot be read")
             .arg(FFileName)
             .arg(f.wBitsPerSample));
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

  FLayout.Encoding = encoding;
  FLayout.Bits = f.wBitsPerSample;
  FLayout.Channels = f.nChannels;
  FLayout.BytesPerFrame = bytesPerFrame;
  // The "data" chunk found is the one the walk kept the place of.
  std::uint64_t samples = std::uint64_t(data->Size) / std::uint64_t(bytesPerFrame);
  if (f.wBitsPerSample == 4 && f.nChannels == 1)
    samples = 2 * std::uint64_t(data->Size); // two samples share a byte
  const std::uint64_t maxSamples = std::uint64_t(std::numeric_limits<std::int32_t>::max());
  sd.SamplesPerChannel = std::int32_t(std::min(samples, maxSamples));

  // Wider samples are unpacked as 16-bit ones: 24- and 32-bit integers as
  // their top 16 bits, floating point with +-1.0 as full scale.
  if (FLayout.Unpacked() && FLayout.Bits > 16) {
    f.wBitsPerSample = 16;
    f.nBlockAlign = std::uint16_t(2 * f.nChannels);
  }
}

void TSoundFile::unpackSamples(TByteSource& source)
{
  const TSampleLayout& l = FLayout;
  const std::int64_t n = FSoundData.SamplesPerChannel;
  // Other widths are shown but not unpacked. Files with more than two
  // channels keep their count in the format; the first two are unpacked.
  if (!l.Unpacked())
    return;
  TChannelArray channels;
  std::int16_t* out[2] = {nullptr, nullptr};
  for (int k = 0; k < std::min(l.Channels, 2); ++k) {
    channels[k].resize(qsizetype(n));
    out[k] = channels[k].data();
  }
  unpackRange(source, l, 0, n, out, [this](std::int64_t bytes) { progress(bytes); });
  FSoundData.Channels = channels;
}

void TSoundFile::loadDecoded(TByteSource& source, bool headerOnly)
{
  TSourceInput input(source);
  TSoundDecoder decoder(input, FFileName);
  const TDecodedFormat& d = decoder.Format();
  FLayout.Decoded = d;
  FLayout.Encoding = d.Float ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
  FLayout.Bits = d.Bits;
  FLayout.Channels = d.Channels;
  FSoundData.Format = d.WaveFormat();
  const std::int64_t n = std::min<std::int64_t>(d.Frames, std::numeric_limits<std::int32_t>::max());
  FSoundData.SamplesPerChannel = std::int32_t(n);
  if (headerOnly) {
    decoder.CheckEnd(); // what a full load would find at the end, found now
    return;
  }
  // Progress in the file's bytes, as the share of the samples decoded.
  std::int64_t reported = 0;
  FSoundData.Channels = decoder.ReadAll(n, [&](std::int64_t done) {
    const std::int64_t at = std::int64_t(double(FTotal) * double(done) / double(n));
    progress(at - reported);
    reported = at;
  });
}

TSampleReader::TSampleReader(const TSoundFile& File)
    : FLayout(File.SampleLayout()), FSamples(File.SoundData().SamplesPerChannel)
{
  if (!FLayout.Unpacked())
    fail(QStringLiteral("%1: %2-bit samples cannot be read")
             .arg(File.FileName())
             .arg(FLayout.Bits));
  struct stat info;
  FileDescriptor file = openRegularFile(File.FileName(), info);
  // The samples are read by the headers' layout: from another file put in
  // this one's place, or from a file cut short since, they would be made up.
  if ((File.FInode != 0 &&
       (std::uint64_t(info.st_dev) != File.FDevice || std::uint64_t(info.st_ino) != File.FInode)) ||
      qint64(info.st_size) < FLayout.DataOffset + FLayout.DataSize)
    failChanged(File.FileName());
  FSource = std::make_unique<TFileSource>(std::move(file), qint64(info.st_size), File.FileName());
  if (FLayout.Decoded) {
    FInput = std::make_unique<TSourceInput>(*FSource);
    FDecoder = std::make_unique<TSoundDecoder>(*FInput, File.FileName());
  }
}

TSampleReader::~TSampleReader() = default;

void TSampleReader::Read(std::int64_t First, std::int64_t Count, std::int16_t* Left,
                         std::int16_t* Right)
{
  if (FDecoder) {
    FDecoder->Read(First, Count, Left, Right);
    return;
  }
  if (Right && FLayout.Channels < 2) {
    std::fill(Right, Right + Count, std::int16_t(0));
    Right = nullptr;
  }
  std::int16_t* const out[2] = {Left, Right};
  unpackRange(*FSource, FLayout, First, Count, out, {});
}

} // namespace duv
