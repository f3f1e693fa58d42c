// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SafeFile.h"

#include <QFile>

#include <sys/stat.h>

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
  if (!FFile.commit())
    Fail();
}

void TFileWriter::Fail()
{
  const QString reason = FFile.errorString();
  FFile.cancelWriting();
  throw EFileWriteError(FPath, reason);
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
