// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>

namespace duv {

// Replaces the section Section of the INI file at IniPath with Values
// (entries whose value is invalid are left out) and keeps the file's other
// sections. The file is written whole or not at all, and only over a regular
// file. A file that exists but cannot be read is left alone (false); one with
// lines QSettings cannot parse is replaced by one that keeps every key it
// could read. False when nothing was written.
bool SaveIniSection(const QString& IniPath, const QString& Section, const QVariantMap& Values);

} // namespace duv
