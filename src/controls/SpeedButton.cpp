// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/SpeedButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace duv {

namespace {

class GlyphEngine : public QIconEngine
{
public:
  explicit GlyphEngine(TGlyph glyph) : FGlyph(glyph) {}

  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override
  {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->translate(rect.topLeft());
    const qreal s = std::min(rect.width(), rect.height()) / 16.0;
    p->scale(s, s);
    const bool disabled = mode == QIcon::Disabled;
    const QColor ink = disabled ? QColor(150, 150, 150) : QColor(40, 40, 40);
    draw(*p, ink, disabled);
    p->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
  {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }

  QIconEngine* clone() const override { return new GlyphEngine(FGlyph); }

private:
  // Everything is drawn on a 16 x 16 grid.
  void draw(QPainter& p, const QColor& ink, bool disabled) const
  {
    QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (FGlyph) {
    case TGlyph::Play: {
      QPainterPath path;
      path.moveTo(4, 2.5);
      path.lineTo(13.5, 8);
      path.lineTo(4, 13.5);
      path.closeSubpath();
      p.setPen(QPen(ink, 1.0));
      p.setBrush(disabled ? QColor(190, 190, 190) : QColor(30, 150, 50));
      p.drawPath(path);
      break;
    }
    case TGlyph::Stop:
      p.setPen(QPen(ink, 1.0));
      p.setBrush(disabled ? QColor(190, 190, 190) : QColor(190, 40, 40));
      p.drawRect(QRectF(3.5, 3.5, 9, 9));
      break;
    case TGlyph::Pause:
      p.setPen(QPen(ink, 1.0));
      p.setBrush(disabled ? QColor(190, 190, 190) : QColor(40, 90, 190));
      p.drawRect(QRectF(3.5, 3, 3, 10));
      p.drawRect(QRectF(9.5, 3, 3, 10));
      break;
    case TGlyph::Left:
    case TGlyph::Right:
    case TGlyph::Up:
    case TGlyph::Down: {
      // An arrow pointing right, turned to its direction.
      p.translate(8, 8);
      const int turns = FGlyph == TGlyph::Right ? 0
                        : FGlyph == TGlyph::Down ? 1
                        : FGlyph == TGlyph::Left ? 2
                                                 : 3;
      p.rotate(90.0 * turns);
      p.setPen(pen);
      p.drawLine(QPointF(-5.5, 0), QPointF(5, 0));
      p.drawPolyline(QPolygonF({QPointF(0.5, -4.5), QPointF(5, 0), QPointF(0.5, 4.5)}));
      break;
    }
    case TGlyph::ZoomIn:
    case TGlyph::ZoomOut:
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
      p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(10, 10), QPointF(14, 14));
      p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(4.2, 6.5), QPointF(8.8, 6.5));
      if (FGlyph == TGlyph::ZoomIn)
        p.drawLine(QPointF(6.5, 4.2), QPointF(6.5, 8.8));
      break;
    case TGlyph::Reset: {
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      // Three quarters of a circle with an arrow head where it ends.
      p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
      p.drawPolyline(QPolygonF({QPointF(5.2, 0.8), QPointF(8, 3), QPointF(5.2, 5.2)}));
      break;
    }
    }
  }

  TGlyph FGlyph;
};

// A caption as it is read: "&&" is an ampersand, a lone "&" marks the key.
QString WithoutMnemonic(QString Text)
{
  Text.replace(QLatin1String("&&"), QChar(1));
  Text.remove(QLatin1Char('&'));
  Text.replace(QChar(1), QLatin1Char('&'));
  return Text;
}

// What a screen reader is told of a speed button: a button, and when it
// latches (Start, Stop) a toggle button with its state, which is what such a
// button is; never a check box, the role the toolkit gives checkable tool
// buttons. Pressing it through the reader clicks it.
class SpeedButtonAccessible : public QAccessibleWidget
{
public:
  explicit SpeedButtonAccessible(QToolButton* button)
      : QAccessibleWidget(button, QAccessible::Button)
  {
  }

  QAccessible::State state() const override
  {
    QAccessible::State s = QAccessibleWidget::state();
    const QToolButton* b = button();
    s.checkable = b->isCheckable();
    s.checked = b->isCheckable() && b->isChecked();
    s.pressed = b->isDown() || s.checked;
    return s;
  }

  QString text(QAccessible::Text t) const override
  {
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty())
      text = WithoutMnemonic(button()->text());
    else if (t == QAccessible::Description && text.isEmpty())
      text = button()->toolTip();
    return text;
  }

  QStringList actionNames() const override
  {
    return QStringList(button()->isCheckable() ? toggleAction() : pressAction()) +
           QAccessibleWidget::actionNames();
  }

  void doAction(const QString& name) override
  {
    if (!widget()->isEnabled())
      return;
    if (name == pressAction() || name == toggleAction())
      button()->click();
    else
      QAccessibleWidget::doAction(name);
  }

private:
  QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* SpeedButtonFactory(const QString& className, QObject* object)
{
  if (className == QLatin1String(TSpeedButton::staticMetaObject.className()) && object &&
      object->isWidgetType())
    return new SpeedButtonAccessible(static_cast<QToolButton*>(object));
  return nullptr;
}

} // namespace

QIcon GlyphIcon(TGlyph Glyph) { return QIcon(new GlyphEngine(Glyph)); }

TSpeedButton::TSpeedButton(TGlyph Glyph, const QString& Hint, QWidget* parent)
    : QToolButton(parent)
{
  static const bool installed = [] {
    QAccessible::installFactory(SpeedButtonFactory);
    return true;
  }();
  Q_UNUSED(installed);
  setIcon(GlyphIcon(Glyph));
  setToolTip(Hint);
  setAccessibleName(Hint);
  setAutoRaise(true);
  setFocusPolicy(Qt::TabFocus);
}

TSpeedButton::TSpeedButton(TGlyph Glyph, const QString& Caption, const QString& Hint,
                           QWidget* parent)
    : TSpeedButton(Glyph, Hint, parent)
{
  setText(Caption);
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setAutoRaise(false);
}

} // namespace duv
