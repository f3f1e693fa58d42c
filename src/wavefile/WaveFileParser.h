// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a RIFF/WAVE file into memory: every chunk in a list, the format from
// the "fmt " chunk, and the samples of the "data" chunk unpacked into one
// 16-bit array per channel (the first two channels).
#pragma once

#include "support/WaveFormat.h"
#include "wavefile/SoundDecoder.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace duv {

// A load that failed; the message names the file and says what is wrong.
class EWaveFileError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// A load that its progress callback cancelled. It leaves the object as a
// failed load does.
class ELoadCancelled : public EWaveFileError
{
public:
  using EWaveFileError::EWaveFileError;
};

// The progress of a load: Done of Total bytes of the file read so far.
// Returning false cancels the load.
using TLoadProgress = std::function<bool(std::int64_t Done, std::int64_t Total)>;

// One chunk as read. Size is the number of bytes the file really holds for
// it, which is less than the declared size when the file is cut short. The
// "data" chunk keeps no bytes: its samples go straight into the channel
// arrays, so a long file is not held twice.
struct TRiffChunk
{
  char ID[4] = {0, 0, 0, 0};
  std::uint32_t Size = 0;
  std::vector<std::uint8_t> Data;
};

// The samples of one channel. Every width the reader unpacks fits in 16 bits
// (4 and 8 bits unsigned, 16 signed; 24- and 32-bit integers and 32- and
// 64-bit floating point reduced to 16), so a channel
// costs two bytes a sample. Implicitly shared, so copies of a TSoundData
// share the arrays and stay valid whatever the file object does later.
using TSoundArray = QList<std::int16_t>;
using TChannelArray = std::array<TSoundArray, 2>;

// The unpacked file. The samples are in the channels alone: the "data"
// chunk's bytes are not kept, so there is no pointer to them.
struct TSoundData
{
  TChannelArray Channels;
  WAVEFORMATEX Format;
  std::int32_t SamplesPerChannel = 0;
};

// Where a file's samples lie and how they are stored, as its headers say;
// Format in TSoundData shows them after any reduction to 16 bits.
struct TSampleLayout
{
  std::uint16_t Encoding = 0;     // the sample encoding: a format tag
  int Bits = 0;                   // the file's own sample width
  int Channels = 0;
  std::int64_t BytesPerFrame = 0; // one sample of every channel
  std::int64_t DataOffset = -1;   // of the "data" chunk's first byte in the file
  std::int64_t DataSize = 0;      // the bytes the file holds for it
  std::int64_t DataDeclared = 0;  // the bytes its header declares
  // A file in another format than WAV, read through the decoder: what it
  // is. Its samples are always unpacked.
  std::optional<TDecodedFormat> Decoded;
  // Whether the samples are unpacked into channel arrays.
  bool Unpacked() const;
};

// The bytes of a file image being loaded, from a file or from memory.
class TByteSource;

// A chunk ID as the 32-bit word whose bytes, lowest first, are its characters.
constexpr std::uint32_t FourCC(const char (&id)[5])
{
  return std::uint32_t(std::uint8_t(id[0])) | (std::uint32_t(std::uint8_t(id[1])) << 8) |
         (std::uint32_t(std::uint8_t(id[2])) << 16) | (std::uint32_t(std::uint8_t(id[3])) << 24);
}

class TSoundFile
{
public:
  TSoundFile() = default;
  virtual ~TSoundFile() { ClearChunks(); }
  TSoundFile(const TSoundFile&) = delete;
  TSoundFile& operator=(const TSoundFile&) = delete;

  const QString& FileName() const { return FFileName; }
  // Loads the named file unless it is the one already loaded. Throws
  // EWaveFileError when the file cannot be read, or "changed while it was
  // read" (it got shorter); the object is then empty and the same name may
  // be tried again.
  virtual void SetFileName(const QString& Name);
  virtual int ChunkCount() const { return int(FChunks.size()); }
  // The chunk at Index, or nullptr when out of range.
  virtual const TRiffChunk* Chunk(int Index) const;
  // The first chunk whose ID matches ignoring letter case, or nullptr.
  virtual const TRiffChunk* FindChunk(std::uint32_t ID) const;
  // Reads the file FileName() names and loads it as LoadFromMemory does.
  virtual void LoadFile();
  virtual void ClearChunks();
  // Loads a whole file image held in memory; Name stands for the file in
  // messages and becomes FileName(). Throws EWaveFileError like SetFileName,
  // and the object is then empty.
  void LoadFromMemory(QByteArrayView Bytes, const QString& Name);
  // Takes samples made in memory (a capture) as a loaded PCM file named
  // Name: no file and no chunks, the channels shared, not copied.
  void LoadSamples(const TSoundData& Data, const QString& Name);
  // Reads the named file's chunk list and format only: SoundData() then has
  // the format and the sample count a full load gives, and no samples, and
  // only the "fmt " chunk keeps its bytes. It takes milliseconds and little
  // memory whatever the file's length. Throws EWaveFileError as SetFileName
  // does for a file whose headers are at fault.
  void LoadHeader(const QString& Name);

  const TSoundData& SoundData() const { return FSoundData; }
  const TSampleLayout& SampleLayout() const { return FLayout; }

  // Called at the start of every load, after every slice read (a megabyte
  // at most) and at its end; returning false stops the load, which then
  // throws ELoadCancelled and leaves the object as a failed load does.
  TLoadProgress OnProgress;

protected:
  // Takes the format from the chunk list and checks it can be read.
  void ParseFormat();

private:
  void clear();
  void loadFromFile(bool headerOnly);
  void load(TByteSource& source, bool headerOnly);
  void walkChunks(TByteSource& source, bool headerOnly);
  void unpackSamples(TByteSource& source);
  // Every file that is not RIFF/WAVE: its format and samples come from the
  // decoder (SoundDecoder.h).
  void loadDecoded(TByteSource& source, bool headerOnly);
  // Adds bytes read and tells OnProgress; throws when it cancels.
  void progress(std::int64_t bytes);
  QString FFileName;
  std::vector<std::unique_ptr<TRiffChunk>> FChunks;
  TSoundData FSoundData;
  TSampleLayout FLayout;
  std::int64_t FDone = 0, FTotal = 0; // progress of the load under way
  // The file the last load read (device and inode; 0 for one from memory),
  // so that a sample reader opening it again notices another in its place.
  std::uint64_t FDevice = 0, FInode = 0;
  friend class TSampleReader;
};

// A line for a file whose "data" chunk holds fewer bytes than its header
// declares (a copy cut short), naming the file and both sizes; empty for a
// whole file. Such a file is read as far as it goes.
QString TruncationNote(const TSoundFile& File);

// Reads stretches of a file's samples straight from the file, unpacked as a
// load unpacks them, for work that streams through a long file instead of
// holding it. Each reader has a file handle of its own, so readers on
// threads of their own never wait for each other.
class TSampleReader
{
public:
  // Opens the file whose headers File has loaded (LoadHeader, or a full
  // load). Throws EWaveFileError when it cannot be opened, when its samples
  // are of a width that is not unpacked, or when it "changed while it was
  // read": it no longer holds the samples its headers placed, or another
  // file took its name.
  explicit TSampleReader(const TSoundFile& File);
  ~TSampleReader();
  TSampleReader(const TSampleReader&) = delete;
  TSampleReader& operator=(const TSampleReader&) = delete;

  std::int64_t SamplesPerChannel() const { return FSamples; }
  // Frames [First, First + Count), which must lie within the sample count,
  // of channels 0 and 1 into Left and Right (either may be null; a channel
  // the file lacks reads as 0), as the channel arrays of a load hold them.
  // Throws EWaveFileError when the file was cut short meanwhile.
  void Read(std::int64_t First, std::int64_t Count, std::int16_t* Left, std::int16_t* Right);

private:
  std::unique_ptr<TByteSource> FSource;
  std::unique_ptr<TDecoderInput> FInput;   // over FSource, for a decoded file
  std::unique_ptr<TSoundDecoder> FDecoder; // reads a decoded file
  TSampleLayout FLayout;
  std::int64_t FSamples = 0;
};

} // namespace duv
