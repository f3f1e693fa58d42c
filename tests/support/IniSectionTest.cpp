// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/IniSection.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace duv;

namespace {

// Every key QSettings reads from the file at Path, outside section Settings,
// as "key=value" lines.
std::string readable(const QString& Path)
{
  const QSettings ini(Path, QSettings::IniFormat);
  QStringList lines;
  for (const QString& key : ini.allKeys())
    if (!key.startsWith("Settings/"))
      lines << key + '=' + ini.value(key).toString();
  return lines.join('\n').toStdString();
}

} // namespace

// Guards a settings file with a line QSettings cannot parse: the save of one
// section started from an empty file and dropped every other section, the
// calibration included. Whatever QSettings can read of the others is kept.
TEST(IniSection, HostileFileKeepsWhatCanBeRead)
{
  const QByteArray good = "[Measurement]\nWeighting=A\nCalibrated=true\nOffset=94.5\n"
                          "[history]\nCount=1\nPath0=/music/a.wav\n";
  const QByteArray cases[] = {
      "a line without an equals sign\n" + good,
      good + "[Settings]\nBufferSize=512\nnot a key\n",
      "[Measurement]\nno equals here\nWeighting=A\n[history]\nCount=1\n",
      "[Measurement\nWeighting=A\n" + good,
      QByteArray("\x00\xff\xfe\x01\x02[\x7f]\n", 9) + good,
      good + QByteArray(2 << 20, 'x') + "\n",
      "loose=1\n" + good,
  };
  QTemporaryDir dir;
  const QString path = dir.filePath("duvovovi.ini");
  for (const QByteArray& bytes : cases) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    const std::string expected = readable(path);
    ASSERT_TRUE(SaveIniSection(path, "Settings", {{"BufferSize", 1024}}));
    EXPECT_EQ(readable(path), expected);
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value("Settings/BufferSize").toInt(), 1024);
  }
}
