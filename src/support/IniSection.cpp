// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/IniSection.h"

#include "support/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace duv {

namespace {

void WriteSection(QSettings& Ini, const QString& Section, const QVariantMap& Values)
{
  Ini.remove(Section);
  Ini.beginGroup(Section);
  for (auto it = Values.cbegin(); it != Values.cend(); ++it)
    if (it.value().isValid())
      Ini.setValue(it.key(), it.value());
  Ini.endGroup();
}

// Writes Values as the section of the INI file at Path; false when QSettings
// cannot read or write that file, or met a line it could not parse.
bool EditSection(const QString& Path, const QString& Section, const QVariantMap& Values)
{
  QSettings ini(Path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError)
    return false;
  WriteSection(ini, Section, Values);
  ini.sync();
  return ini.status() == QSettings::NoError;
}

// Writes a new INI file at To from every key QSettings can read in the one at
// From, but those of Section, which gets Values. For a file with lines that
// do not parse: what the program and the user can still read of it is kept.
bool RebuildWithSection(const QString& From, const QString& To, const QString& Section,
                        const QVariantMap& Values)
{
  const QSettings old(From, QSettings::IniFormat);
  QSettings fresh(To, QSettings::IniFormat);
  const QString group = Section + QLatin1Char('/');
  for (const QString& key : old.allKeys())
    if (key != Section && !key.startsWith(group))
      fresh.setValue(key, old.value(key));
  WriteSection(fresh, Section, Values);
  fresh.sync();
  return fresh.status() == QSettings::NoError;
}

} // namespace

bool SaveIniSection(const QString& IniPath, const QString& Section, const QVariantMap& Values)
{
  const QFileInfo info(IniPath);
  // Not even read when it is not a regular file: a FIFO would block the copy.
  if (info.exists() && !info.isFile())
    return false;
  if (!QDir().mkpath(info.absolutePath()))
    return false;
  // QSettings edits a private copy, in its own format and with the other
  // sections kept; the file itself is then written by the program's one
  // writer.
  const QTemporaryDir scratch;
  if (!scratch.isValid())
    return false;
  const QString original = scratch.filePath(QStringLiteral("original.ini"));
  const QString copy = scratch.filePath(QStringLiteral("settings.ini"));
  if (info.exists() && !QFile::copy(IniPath, original))
    return false; // unreadable: its other sections would be lost
  if (info.exists() && !QFile::copy(original, copy))
    return false;
  if (!EditSection(copy, Section, Values)) {
    QFile::remove(copy);
    if (!RebuildWithSection(original, copy, Section, Values))
      return false;
  }
  QFile edited(copy);
  if (!edited.open(QIODevice::ReadOnly))
    return false;
  try {
    WriteWholeFile(IniPath, edited.readAll());
  } catch (const EFileWriteError&) {
    return false;
  }
  return true;
}

} // namespace duv
