// SPDX-License-Identifier: GPL-3.0-or-later
// One line that tells a person what a sound file is: "FLAC, 24-bit, 48 kHz,
// 3:12.4". Shared by the Wave File page and whoever else describes a file.
#pragma once

#include <QString>

namespace duv {

class TSoundFile;

// What the file is, its width or encoding, its rate and how long it lasts;
// empty when no file is loaded.
QString FileSummary(const TSoundFile& File);

// A rate in kilohertz with only the decimals it needs: "48 kHz", "44.1 kHz",
// "11.025 kHz".
QString RateText(int Hz);

} // namespace duv
