// SPDX-License-Identifier: GPL-3.0-or-later
// Builds RIFF/WAVE byte images for tests, chunk by chunk, so that damaged and
// unusual files can be made exactly.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

namespace duv::test {

struct WavBuilder
{
  QByteArray bytes;
  explicit WavBuilder(const char* riff = "RIFF", const char* wave = "WAVE");
  // A chunk with the given declared size (default: the data's size).
  WavBuilder& chunk(const char* id, const QByteArray& data, std::int64_t declared = -1,
                    bool pad = true);
  WavBuilder& fmt(int channels, int rate, int bits, int fmtSize = 18, int tag = 1);
  // A 40-byte extensible format record (tag 0xFFFE) with the given sub-format.
  WavBuilder& extensibleFmt(int channels, int rate, int bits, const QByteArray& subFormat);
  QByteArray finish() const; // with the RIFF size filled in
};

// The sub-format GUID that stands for a format tag in an extensible record.
QByteArray subFormatGuid(int tag);

QByteArray le16(int v);
QByteArray le32(std::uint32_t v);

// Writes bytes to a file in a fresh temporary folder and returns its path.
QString writeTemp(const QString& name, const QByteArray& bytes);

// Runs sox with the arguments; false when sox is missing or fails.
bool runSox(const QStringList& args);
// Runs a program (an encoder) the same way.
bool runTool(const QString& program, const QStringList& args);

} // namespace duv::test
