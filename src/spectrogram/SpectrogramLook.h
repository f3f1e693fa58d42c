// SPDX-License-Identifier: GPL-3.0-or-later
// How a file's spectrogram picture looks: its title lines, colour table and
// range. Apart from the drawing (spectrogram/SpectrogramPicture.h, Qt Gui),
// so that the command line describes a picture on Qt Core alone.
#pragma once

#include "spectrogram/DepthColors.h"
#include "analysis/SpectrogramGrid.h"

#include <QString>
#include <functional>

class QIODevice;

namespace duv {

struct TSpectrogramPicture
{
  QString Title;    // in bold above the plot
  QString Subtitle; // below the title
  TColorCount Colors = TColorCount::dc32;
  double Range = 96; // dB below full scale at the bottom of the colour bar
};

// Draws the picture of Grid and writes it to Out as PNG; false when writing
// failed (Out's error string says why).
using TSpectrogramPngWriter = std::function<bool(
    const TFileSpectrogram& Grid, const TSpectrogramPicture& Picture, QIODevice& Out)>;

} // namespace duv
