#include "controls/ReadOut.h"

#include <QEvent>
#include <QHBoxLayout>

namespace duv {

TReadOut::TReadOut(const QString& Name, QWidget* parent) : QLabel(parent)
{
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
  setAccessibleName(Name);
  setAccessibleDescription(QString());
}

void TReadOut::SetText(const QString& Text)
{
  if (text() == Text)
    return;
  setText(Text);
  setAccessibleDescription(Text);
}

void TReadOut::SetMinimumChars(int Chars)
{
  FChars = Chars;
  // Digits are the widest common characters in proportional fonts.
  setMinimumWidth(fontMetrics().horizontalAdvance(QString(Chars, QChar('0'))) +
                  2 * frameWidth() + 2 * margin() + 4);
}

void TReadOut::changeEvent(QEvent* e)
{
  QLabel::changeEvent(e);
  if (e->type() == QEvent::FontChange && FChars > 0)
    SetMinimumChars(FChars);
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
