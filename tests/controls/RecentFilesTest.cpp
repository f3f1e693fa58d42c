// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RecentFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace duv;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

} // namespace

// Guards the most-recent-first order, the limit, and the caption numbering.
TEST(RecentFiles, OrderLimitAndCaptions)
{
  QStringList paths;
  for (int i = 1; i <= 6; ++i) {
    AddPath(paths, QStringLiteral("/snd/f%1.wav").arg(i), true, true);
    TrimToLimit(paths, 5);
  }
  EXPECT_EQ(paths, QStringList({"/snd/f6.wav", "/snd/f5.wav", "/snd/f4.wav", "/snd/f3.wav",
                                "/snd/f2.wav"}));
  EXPECT_EQ(ItemCaption(paths[0], 0, true, false), "&1 f6.wav");
  EXPECT_EQ(ItemCaption(paths[4], 4, true, true), "&5 /snd/f2.wav");
  EXPECT_EQ(ItemCaption("/snd/a.wav", 9, true, false), "&10 a.wav");
  EXPECT_EQ(ItemCaption("/snd/rock&roll.wav", 0, false, false), "rock&&roll.wav");
  // Re-adding the third entry moves it to the top without a copy.
  AddPath(paths, "/snd/f4.wav", true, true);
  EXPECT_EQ(paths.first(), "/snd/f4.wav");
  EXPECT_EQ(paths.size(), 5);
  EXPECT_EQ(paths.count("/snd/f4.wav"), 1);
  // On a case-sensitive file system two spellings are two files.
  if (PathCaseSensitivity() == Qt::CaseSensitive) {
    AddPath(paths, "/snd/F4.wav", true, true);
    EXPECT_EQ(paths.size(), 6);
  }
  TrimToLimit(paths, -1);
  EXPECT_TRUE(paths.isEmpty());
}

// Guards saving: stale keys gone, other sections kept, odd paths round-trip, file replaced whole.
TEST(RecentFiles, SaveReplacesSectionWhole)
{
  QTemporaryDir dir;
  const QString ini = dir.filePath("duvovovi.ini");
  writeFile(ini, "[other]\nkeep=1\n[history]\nCount=7\nPath0=/a\nPath1=/b\nPath2=/c\n"
                 "Path3=/d\nPath4=/e\nPath5=/f\nPath6=/g\n");
  QStringList loaded;
  ASSERT_TRUE(LoadRecentPaths(ini, "history", loaded));
  EXPECT_EQ(loaded.size(), 7);

  // A second name for the old file keeps the old contents: the new list was
  // written elsewhere and renamed into place, never written over the old one.
  const QString before = dir.filePath("before.ini");
  ASSERT_EQ(::link(QFile::encodeName(ini).constData(), QFile::encodeName(before).constData()), 0);
  const QStringList odd = {"/x/a, b;c=d \u00e9.wav", " /lead space", "/q/\"quoted\"#1.wav"};
  ASSERT_TRUE(SaveRecentPaths(ini, "history", odd));
  QSettings check(ini, QSettings::IniFormat);
  EXPECT_EQ(check.value("history/Count").toInt(), 3);
  EXPECT_FALSE(check.contains("history/Path3"));
  EXPECT_FALSE(check.contains("history/Path6"));
  EXPECT_EQ(check.value("other/keep").toInt(), 1);
  ASSERT_TRUE(LoadRecentPaths(ini, "history", loaded));
  EXPECT_EQ(loaded, odd);
  QSettings old(before, QSettings::IniFormat);
  EXPECT_EQ(old.value("history/Count").toInt(), 7);
  // No temporary file is left beside the INI file.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"before.ini", "duvovovi.ini"}));
}

// Guards damaged or unreadable INI files: nothing loads, nothing hangs, a failed save reports.
TEST(RecentFiles, DamagedFilesLoadNothing)
{
  QTemporaryDir dir;
  QStringList loaded{"stale"};
  // Missing file: an empty list, not an error.
  EXPECT_TRUE(LoadRecentPaths(dir.filePath("none.ini"), "history", loaded));
  EXPECT_TRUE(loaded.isEmpty());
  // A folder where the file should be cannot be read or written.
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
  EXPECT_FALSE(LoadRecentPaths(dir.filePath("folder.ini"), "history", loaded));
  EXPECT_TRUE(loaded.isEmpty());
  EXPECT_FALSE(SaveRecentPaths(dir.filePath("folder.ini"), "history", {"/a"}));

  QByteArray garbage;
  for (int i = 0; i < 4096; ++i)
    garbage += char((i * 7919) & 0xFF);
  const QString bin = dir.filePath("garbage.ini");
  writeFile(bin, garbage);
  LoadRecentPaths(bin, "history", loaded);
  EXPECT_TRUE(loaded.isEmpty());

  const QString text = dir.filePath("count.ini");
  writeFile(text, "[history]\nCount=abc\nPath0=/a\n");
  EXPECT_TRUE(LoadRecentPaths(text, "history", loaded));
  EXPECT_TRUE(loaded.isEmpty());
  writeFile(text, "[history]\nCount=2000000000\nPath0=/a\nPath1=\nPath2=/c\n");
  EXPECT_TRUE(LoadRecentPaths(text, "history", loaded));
  EXPECT_EQ(loaded, QStringList({"/a", "/c"}));
  writeFile(text, "[history]\nCount=-3\nPath0=/a\n");
  EXPECT_TRUE(LoadRecentPaths(text, "history", loaded));
  EXPECT_TRUE(loaded.isEmpty());
}

// Guards that a bare INI name lands in the given folder and never elsewhere.
TEST(RecentFiles, ResolvesIniPath)
{
  EXPECT_EQ(ResolveIniPath("duvovovi.ini", "/tmp/cfg"), "/tmp/cfg/duvovovi.ini");
  EXPECT_EQ(ResolveIniPath("/etc/x.ini", "/tmp/cfg"), "/etc/x.ini");
  QStandardPaths::setTestModeEnabled(true);
  EXPECT_TRUE(ResolveIniPath("duvovovi.ini").endsWith("/duvovovi.ini"));
}
