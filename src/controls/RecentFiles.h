// SPDX-License-Identifier: GPL-3.0-or-later
// The recent-files list without a menu: ordering, duplicates, captions, and
// reading and writing the list in a section of an INI file. Pure: Qt Core.
#pragma once

#include <QString>
#include <QStringList>

namespace duv {

// Paths compare as this platform's file system does: case-sensitively on
// Linux, ignoring case where the file system does.
Qt::CaseSensitivity PathCaseSensitivity();

int IndexOfPath(const QStringList& paths, const QString& path);

// Puts path at the top or the end; with noDuplicates an equal path already in
// the list is removed first (the new spelling wins).
void AddPath(QStringList& paths, const QString& path, bool atTop, bool noDuplicates);

// Drops entries from the end until at most limit remain (none for limit < 0).
void TrimToLimit(QStringList& paths, int limit);

// Menu text of entry `index`: "&1 tone.wav" when numbered, the file name or
// the full path otherwise. Ampersands of the name are doubled so that they
// show rather than turn into accelerators.
QString ItemCaption(const QString& path, int index, bool numberItems, bool showPath);

// Where a bare INI name lives: the application's configuration folder, or
// `folder` when given (tests pass a temporary one). Absolute names stay.
QString ResolveIniPath(const QString& iniFile, const QString& folder = QString());

// Reads "Count" and "Path0".. from `section`. Returns false, leaving `paths`
// empty, when the file cannot be read or is not a valid INI file. Blank or
// missing paths are skipped, and a Count beyond the keys present is not
// trusted, so a damaged file cannot flood the menu.
bool LoadRecentPaths(const QString& iniPath, const QString& section, QStringList& paths);

// Replaces `section` with "Count" and the paths, top first, keeping the other
// sections. The file is replaced as a whole in one step, so a crash or a full
// disk leaves the previous file intact. Returns false when it could not.
bool SaveRecentPaths(const QString& iniPath, const QString& section, const QStringList& paths);

} // namespace duv
