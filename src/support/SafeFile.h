// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the program writes a file: whole or not at all, and only over
// a regular file. Exports, pictures, printed PDF pages and the settings all
// go through it. Pure: Qt Core.
#pragma once

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <stdexcept>

namespace duv {

// Why a file of this st_mode is not read or written: "it is a device, not a
// regular file", and the like for a directory, a FIFO or a socket.
QString NotRegularFileReason(unsigned Mode);

// A file that could not be written. The message is "Cannot write file PATH:
// REASON"; the parts are kept for callers that word it otherwise.
class EFileWriteError : public std::runtime_error
{
public:
  EFileWriteError(const QString& Path, const QString& Reason);
  const QString& Path() const { return FPath; }
  const QString& Reason() const { return FReason; }

private:
  QString FPath, FReason;
};

// Writes a file into a temporary one beside it and puts it in place only on
// Commit, so that a failure (a full disk, a crash) leaves the file that was
// there as it was. A path that exists and is not a regular file (after
// symbolic links) is refused: renaming over a device or a FIFO would replace
// the node itself, /dev/null included when run as root.
class TFileWriter
{
public:
  // Refuses the path at once, before any work is done for it; throws
  // EFileWriteError.
  explicit TFileWriter(const QString& Path);
  TFileWriter(const TFileWriter&) = delete;
  TFileWriter& operator=(const TFileWriter&) = delete;
  // Without a Commit the temporary file is removed and nothing changes.
  ~TFileWriter() = default;

  QIODevice& Device() { return FFile; }
  // Puts what was written in place of the file once it is all on disk;
  // throws EFileWriteError when it cannot (a full disk: "No space left on
  // device"), and nothing changes then.
  void Commit();
  // Gives up, throwing EFileWriteError with the device's error: for a
  // writer that saw its writes fail.
  [[noreturn]] void Fail();
  // The same with a reason of the caller's.
  [[noreturn]] void Fail(const QString& Reason);

private:
  QString FPath;
  QSaveFile FFile;
};

// Writes Path whole through Write, which returns false when a write failed.
// Throws EFileWriteError.
void WriteWholeFile(const QString& Path, const std::function<bool(QIODevice&)>& Write);
void WriteWholeFile(const QString& Path, QByteArrayView Bytes);

} // namespace duv
