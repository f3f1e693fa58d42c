// SPDX-License-Identifier: GPL-3.0-or-later
// A file's spectrogram as a picture: the levels coloured through the
// program's colour bands, with a title, labelled time and frequency axes and
// the colour bar with its dB labels. Drawn in fixed pixel sizes, so a picture
// comes out the same on any screen, or on none.
#pragma once

#include "graph/RoundTicks.h"
#include "spectrogram/SpectrogramLook.h"

#include <QImage>
#include <QRect>
#include <QString>

class QIODevice;

namespace duv {

// Where the parts of a picture lie.
struct TSpectrogramLayout
{
  QSize Image;
  QRect Plot; // one pixel per column and row of the levels
  QRect Bar;  // the colour bar
};

// The layout of a picture of Grid; needs a QGuiApplication (for the fonts).
TSpectrogramLayout LayoutSpectrogramPicture(const TFileSpectrogram& Grid,
                                            const TSpectrogramPicture& Picture);

// Draws the picture; needs a QGuiApplication (for the fonts). Levels above
// full scale take the top colour, levels below the range (silence included)
// the bottom one.
QImage RenderSpectrogramPicture(const TFileSpectrogram& Grid, const TSpectrogramPicture& Picture);

// Draws the picture and writes it to Out as PNG, at a quick compression
// level: the picture is mostly flat colour, which compresses well anyway.
// False when writing failed. What the GUI part sets SpectrogramPngWriter to.
bool WriteSpectrogramPng(const TFileSpectrogram& Grid, const TSpectrogramPicture& Picture,
                         QIODevice& Out);

} // namespace duv
