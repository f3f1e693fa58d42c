// SPDX-License-Identifier: GPL-3.0-or-later
// Flat tool buttons with glyphs of our own, drawn as vectors so they stay
// crisp at any size and device-pixel ratio. A glyph-only button is named for
// screen readers by its hint.
#pragma once

#include <QIcon>
#include <QToolButton>

namespace duv {

enum class TGlyph {
  Play,  // a triangle pointing right
  Stop,  // a square
  Pause, // two bars
  Left,  // arrows: move the view
  Right,
  Up,
  Down,
  ZoomIn,  // a magnifier with a plus
  ZoomOut, // a magnifier with a minus
  Reset,   // a circular arrow: back to the saved range
};

QIcon GlyphIcon(TGlyph Glyph);

class TSpeedButton : public QToolButton
{
  Q_OBJECT
public:
  // A glyph-only button: Hint is its tooltip and its accessible name.
  TSpeedButton(TGlyph Glyph, const QString& Hint, QWidget* parent = nullptr);
  // A glyph with a caption beside it.
  TSpeedButton(TGlyph Glyph, const QString& Caption, const QString& Hint, QWidget* parent = nullptr);
};

} // namespace duv
