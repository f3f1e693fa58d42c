// SPDX-License-Identifier: GPL-3.0-or-later
// Read-outs: a sunken field showing a figure (" Frames:" 1234), inside a
// panel whose caption names it. Screen readers find a read-out by its
// panel's caption and hear the figure as its description.
#pragma once

#include <QFrame>
#include <QLabel>

namespace duv {

class TReadOut : public QFrame
{
  Q_OBJECT
public:
  // Name: what a screen reader calls the field, e.g. "Frames:".
  explicit TReadOut(const QString& Name, QWidget* parent = nullptr);

  // Shows Text and exposes it to assistive technology. Only the field is
  // repainted: a figure that changes with every frame must not lay the
  // window out again.
  void SetText(const QString& Text);
  const QString& Text() const { return FText; }
  // Keeps room for a figure of this many characters, or for the widest
  // figure shown so far.
  void SetMinimumChars(int Chars);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  QString FText;
  int FChars = 0;
  int FWidest = 0; // the widest figure shown, in pixels
};

// A captioned panel holding one or more read-outs side by side.
class TReadOutPanel : public QFrame
{
  Q_OBJECT
public:
  // Caption as shown, e.g. " Frames:".
  explicit TReadOutPanel(const QString& Caption, QWidget* parent = nullptr);

  // A new field; Suffix tells apart several fields of one panel ("X", "Y").
  TReadOut* AddReadOut(int Chars, const QString& Suffix = QString());
  QLabel* CaptionLabel() const { return FCaption; }

private:
  QLabel* FCaption;
};

} // namespace duv
