// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ReadOut.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace duv {

TReadOut::TReadOut(const QString& Name, QWidget* parent) : QFrame(parent)
{
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAttribute(Qt::WA_OpaquePaintEvent); // the field paints all of itself
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAccessibleName(Name);
  setAccessibleDescription(QString());
}

void TReadOut::SetText(const QString& Text)
{
  if (FText == Text)
    return;
  FText = Text;
  setAccessibleDescription(Text);
  // A figure wider than the room kept for it widens the field for good:
  // the layout runs once, not with every frame.
  if (fontMetrics().horizontalAdvance(Text) > FWidest) {
    FWidest = fontMetrics().horizontalAdvance(Text);
    updateGeometry();
  }
  // The sunken frame around the figure stays as it is.
  update(contentsRect());
}

void TReadOut::SetMinimumChars(int Chars)
{
  FChars = Chars;
  updateGeometry();
}

QSize TReadOut::sizeHint() const
{
  // Digits are the widest common characters in proportional fonts.
  const QFontMetrics m(font());
  const int text = std::max(m.horizontalAdvance(QString(std::max(FChars, 1), QChar('0'))), FWidest);
  return {text + 2 * frameWidth() + 6, m.height() + 2 * frameWidth() + 2};
}

QSize TReadOut::minimumSizeHint() const { return sizeHint(); }

void TReadOut::paintEvent(QPaintEvent* e)
{
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  // The style's frame costs more than the figure; a new figure leaves it be,
  // unless a fractional screen scale puts frame and figure on shared pixels.
  const qreal scale = devicePixelRatioF();
  if (!contentsRect().contains(e->rect()) || scale != std::floor(scale))
    drawFrame(&p);
  const QRect r = contentsRect().adjusted(3, 0, -3, 0);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  // Eliding shapes the text once more; a figure that fits even in the font's
  // widest characters is shown as it is, which is what eliding gives it.
  const QFontMetrics m = fontMetrics();
  const bool fits = qint64(FText.size()) * m.maxWidth() <= r.width();
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             fits ? FText : m.elidedText(FText, Qt::ElideRight, r.width()));
}

void TReadOut::changeEvent(QEvent* e)
{
  QFrame::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    FWidest = fontMetrics().horizontalAdvance(FText);
    updateGeometry();
  }
}

TReadOutPanel::TReadOutPanel(const QString& Caption, QWidget* parent) : QFrame(parent)
{
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  FCaption = new QLabel(Caption, this);
  layout->addWidget(FCaption);
  setAccessibleName(Caption.trimmed());
}

TReadOut* TReadOutPanel::AddReadOut(int Chars, const QString& Suffix)
{
  const QString name = accessibleName() + (Suffix.isEmpty() ? QString() : QLatin1Char(' ') + Suffix);
  auto* field = new TReadOut(name, this);
  field->SetMinimumChars(Chars);
  static_cast<QHBoxLayout*>(layout())->addWidget(field, 1);
  if (!FCaption->buddy())
    FCaption->setBuddy(field);
  return field;
}

} // namespace duv
