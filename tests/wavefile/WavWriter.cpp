// SPDX-License-Identifier: GPL-3.0-or-later
#include "WavWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace duv::test {

QByteArray le16(int v)
{
  QByteArray b(2, 0);
  b[0] = char(v & 0xFF);
  b[1] = char((v >> 8) & 0xFF);
  return b;
}

QByteArray le32(std::uint32_t v)
{
  QByteArray b(4, 0);
  for (int i = 0; i < 4; ++i)
    b[i] = char((v >> (8 * i)) & 0xFF);
  return b;
}

WavBuilder::WavBuilder(const char* riff, const char* wave)
{
  bytes.append(riff, 4);
  bytes.append(le32(0));
  bytes.append(wave, 4);
}

WavBuilder& WavBuilder::chunk(const char* id, const QByteArray& data, std::int64_t declared,
                              bool pad)
{
  bytes.append(id, 4);
  bytes.append(le32(std::uint32_t(declared < 0 ? data.size() : declared)));
  bytes.append(data);
  if (pad && (data.size() & 1))
    bytes.append('\0');
  return *this;
}

WavBuilder& WavBuilder::fmt(int channels, int rate, int bits, int fmtSize, int tag)
{
  // In 64 bits: extreme field values are test cases; each field keeps its
  // low bytes, as it would in a file.
  const std::int64_t align = (std::int64_t(channels) * bits + 7) / 8;
  QByteArray f = le16(tag) + le16(channels) + le32(std::uint32_t(rate)) +
                 le32(std::uint32_t(rate * align)) + le16(int(align & 0xFFFF)) + le16(bits) +
                 le16(0);
  f.resize(fmtSize, '\0');
  return chunk("fmt ", f);
}

WavBuilder& WavBuilder::extensibleFmt(int channels, int rate, int bits, const QByteArray& subFormat)
{
  const int align = (channels * bits + 7) / 8;
  const QByteArray f = le16(0xFFFE) + le16(channels) + le32(rate) + le32(rate * align) +
                       le16(align) + le16(bits) + le16(22) + le16(bits) +
                       le32(channels == 1 ? 0x4 : 0x3) + subFormat;
  return chunk("fmt ", f);
}

QByteArray subFormatGuid(int tag)
{
  return le16(tag) + QByteArray("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
}

QByteArray WavBuilder::finish() const
{
  QByteArray b = bytes;
  const QByteArray size = le32(std::uint32_t(b.size() - 8));
  b.replace(4, 4, size);
  return b;
}

QString writeTemp(const QString& name, const QByteArray& bytes)
{
  static QTemporaryDir dir; // removed when the test program ends
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

bool runSox(const QStringList& args)
{
  return runTool("sox", args);
}

bool runTool(const QString& program, const QStringList& args)
{
  if (QStandardPaths::findExecutable(program).isEmpty())
    return false;
  QProcess p;
  p.start(program, args);
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace duv::test
