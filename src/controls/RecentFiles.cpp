// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RecentFiles.h"

#include "support/IniSection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
  QVariantMap values{{QStringLiteral("Count"), int(paths.size())}};
  for (int i = 0; i < paths.size(); ++i)
    values.insert(QStringLiteral("Path") + QString::number(i), paths[i]);
  return SaveIniSection(iniPath, section, values);
}

} // namespace duv
