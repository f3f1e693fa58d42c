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

// Writes Values as the section of the INI file at Path; false when QSettings
// cannot read or write that file.
bool EditSection(const QString& Path, const QString& Section, const QVariantMap& Values)
{
  QSettings ini(Path, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError)
    return false;
  ini.remove(Section);
  ini.beginGroup(Section);
  for (auto it = Values.cbegin(); it != Values.cend(); ++it)
    if (it.value().isValid())
      ini.setValue(it.key(), it.value());
  ini.endGroup();
  ini.sync();
  return ini.status() == QSettings::NoError;
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
  const QString copy = scratch.filePath(QStringLiteral("settings.ini"));
  if (info.exists() && !QFile::copy(IniPath, copy))
    return false; // unreadable: its other sections would be lost
  if (!EditSection(copy, Section, Values)) {
    QFile::remove(copy);
    if (!EditSection(copy, Section, Values))
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
