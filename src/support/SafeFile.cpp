// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace duv {

namespace {

// Throws for a path that names something other than a regular file. A path
// that does not exist yet is fine, and other failures of stat are left for
// the open to report in its own words.
void refuseIfNotRegular(const QString& path)
{
  struct stat info;
  if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
    throw EFileWriteError(path, NotRegularFileReason(info.st_mode));
}

} // namespace

QString NotRegularFileReason(unsigned Mode)
{
  if (S_ISDIR(Mode))
    return QStringLiteral("it is a directory, not a regular file");
  if (S_ISFIFO(Mode))
    return QStringLiteral("it is a named pipe (FIFO), not a regular file");
  if (S_ISCHR(Mode) || S_ISBLK(Mode))
    return QStringLiteral("it is a device, not a regular file");
  if (S_ISSOCK(Mode))
    return QStringLiteral("it is a socket, not a regular file");
  return QStringLiteral("it is not a regular file");
}

EFileWriteError::EFileWriteError(const QString& Path, const QString& Reason)
    : std::runtime_error(
          QStringLiteral("Cannot write file %1: %2").arg(Path, Reason).toStdString()),
      FPath(Path), FReason(Reason)
{
}

TFileWriter::TFileWriter(const QString& Path) : FPath(Path), FFile(Path)
{
  refuseIfNotRegular(FPath);
  // Never written in place: a file that cannot be replaced whole is not
  // written at all.
  FFile.setDirectWriteFallback(false);
  if (!FFile.open(QIODevice::WriteOnly))
    Fail();
}

void TFileWriter::Commit()
{
  // Once more, for a node put there while the file was being written.
  refuseIfNotRegular(FPath);
  // The last buffered bytes are written here, where their failure is seen:
  // QSaveFile's commit renames the temporary over the file even when that
  // final write failed, which on a full disk put an empty or cut file in
  // place of a good one.
  if (!FFile.flush())
    Fail();
  // Some file systems report a full disk only when the data reach it; and a
  // file renamed into place before its data are on disk can be found empty
  // after a power cut.
  if (::fsync(FFile.handle()) != 0)
    Fail(QString::fromLocal8Bit(std::strerror(errno)));
  if (!FFile.commit())
    Fail();
}

void TFileWriter::Fail()
{
  // A short write leaves no reason behind (the call that wrote part of the
  // data did not fail), nor does a writer that gave up for its own reasons.
  // The temporary file, given up anyway, is written once more for the
  // system's own word, such as "No space left on device".
  if (FFile.handle() >= 0 && ::write(FFile.handle(), "\n", 1) < 0)
    Fail(QString::fromLocal8Bit(std::strerror(errno)));
  Fail(FFile.error() == QFileDevice::NoError ? QStringLiteral("the data could not be written")
                                             : FFile.errorString());
}

void TFileWriter::Fail(const QString& Reason)
{
  FFile.cancelWriting();
  throw EFileWriteError(FPath, Reason);
}

void WriteWholeFile(const QString& Path, const std::function<bool(QIODevice&)>& Write)
{
  TFileWriter file(Path);
  if (!Write(file.Device()))
    file.Fail();
  file.Commit();
}

void WriteWholeFile(const QString& Path, QByteArrayView Bytes)
{
  WriteWholeFile(
      Path, [Bytes](QIODevice& f) { return f.write(Bytes.data(), Bytes.size()) == Bytes.size(); });
}

} // namespace duv
