// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RecentFiles.h"

#include "support/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace duv {

Qt::CaseSensitivity PathCaseSensitivity()
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
  return Qt::CaseInsensitive;
#else
  return Qt::CaseSensitive;
#endif
}

int IndexOfPath(const QStringList& paths, const QString& path)
{
  for (int i = 0; i < paths.size(); ++i)
    if (paths[i].compare(path, PathCaseSensitivity()) == 0)
      return i;
  return -1;
}

void AddPath(QStringList& paths, const QString& path, bool atTop, bool noDuplicates)
{
  if (noDuplicates)
    if (const int i = IndexOfPath(paths, path); i >= 0)
      paths.removeAt(i);
  if (atTop)
    paths.prepend(path);
  else
    paths.append(path);
}

void TrimToLimit(QStringList& paths, int limit)
{
  while (paths.size() > std::max(limit, 0))
    paths.removeLast();
}

QString ItemCaption(const QString& path, int index, bool numberItems, bool showPath)
{
  QString name = showPath ? path : QFileInfo(path).fileName();
  name.replace(QLatin1Char('&'), QLatin1String("&&"));
  if (!numberItems)
    return name;
  return QLatin1Char('&') + QString::number(index + 1) + QLatin1Char(' ') + name;
}

QString ResolveIniPath(const QString& iniFile, const QString& folder)
{
  if (QFileInfo(iniFile).isAbsolute())
    return iniFile;
  const QString dir = folder.isEmpty()
                          ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                          : folder;
  return QDir(dir).filePath(iniFile);
}

bool LoadRecentPaths(const QString& iniPath, const QString& section, QStringList& paths)
{
  paths.clear();
  const QFileInfo info(iniPath);
  if (!info.exists())
    return true; // first run: nothing stored yet
  if (!info.isFile() || !info.isReadable())
    return false;
  QSettings ini(iniPath, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError)
    return false;
  ini.beginGroup(section);
  bool ok = false;
  const int count = ini.value(QStringLiteral("Count")).toString().trimmed().toInt(&ok);
  if (!ok || count <= 0)
    return true;
  const int keys = int(ini.childKeys().size());
  for (int i = 0; i < std::min(count, keys); ++i) {
    const QString p = ini.value(QStringLiteral("Path") + QString::number(i)).toString();
    if (!p.trimmed().isEmpty())
      paths.append(p);
  }
  return true;
}

bool SaveRecentPaths(const QString& iniPath, const QString& section, const QStringList& paths)
{
  const QFileInfo info(iniPath);
  // Not even read when it is not a regular file: a FIFO would block the copy.
  if (info.exists() && !info.isFile())
    return false;
  if (!QDir().mkpath(info.absolutePath()))
    return false;
  // QSettings edits a private copy, in its own format and with the other
  // sections kept; the file itself is then written by the program's one
  // writer, whole or not at all, and only over a regular file.
  const QTemporaryDir scratch;
  if (!scratch.isValid())
    return false;
  const QString copy = scratch.filePath(QStringLiteral("settings.ini"));
  if (info.exists() && !QFile::copy(iniPath, copy))
    return false;
  {
    QSettings ini(copy, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
      return false;
    ini.remove(section);
    ini.beginGroup(section);
    ini.setValue(QStringLiteral("Count"), int(paths.size()));
    for (int i = 0; i < paths.size(); ++i)
      ini.setValue(QStringLiteral("Path") + QString::number(i), paths[i]);
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError)
      return false;
  }
  QFile edited(copy);
  if (!edited.open(QIODevice::ReadOnly))
    return false;
  try {
    WriteWholeFile(iniPath, edited.readAll());
  } catch (const EFileWriteError&) {
    return false;
  }
  return true;
}

} // namespace duv
