// SPDX-License-Identifier: GPL-3.0-or-later
// The view settings remembered between runs, in section "Settings" of the
// INI file that also keeps the recent files: the pages shown, the live buffer
// size and format, the minutes of capture history kept, the spectrum's
// window, trace and axes, the spectrogram's colours and time span, the bands
// and whether Measure is on, the window's geometry and splitters, and the
// help window's size. Each is one row of a table: its key, how to read it
// from the window, and how to put it back.
#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace duv {

class TForm1;

struct TViewSetting
{
  QString Name;
  std::function<QVariant(TForm1&)> Read;
  // Puts a value back; one it cannot use (from a damaged file, say) leaves
  // the control as it is. An empty value means the design's.
  std::function<void(TForm1&, const QVariant&)> Write;
};

// The table, in the order the values are put back.
const std::vector<TViewSetting>& ViewSettings();

// The window's settings by key.
QVariantMap ReadViewSettings(TForm1& Form);
// Puts back the values Values holds; keys it lacks leave their controls.
void WriteViewSettings(TForm1& Form, const QVariantMap& Values);

// Section "Settings" of an INI file; empty when the file is missing or
// cannot be read, so the window keeps its defaults.
QVariantMap LoadSettingsSection(const QString& IniPath);
// Replaces that section, keeping the others. The file is written whole or not
// at all, and only over a regular file; false when it could not be.
bool SaveSettingsSection(const QString& IniPath, const QVariantMap& Values);

} // namespace duv
