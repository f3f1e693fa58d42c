// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CheckedGroup.h"

#include "support/UiSupport.h"

#include <QChildEvent>
#include <QPainter>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace duv {

namespace {
const QString kCaptionBoxName = QStringLiteral("InternalCheckBox");
}

TCheckedGroup::TCheckedGroup(QWidget* parent) : TCheckedGroup(QString(), parent) {}

TCheckedGroup::TCheckedGroup(const QString& caption, QWidget* parent) : QGroupBox(caption, parent)
{
  FCaptionBox = new TCheckBoxExt(this);
  FCaptionBox->setObjectName(kCaptionBoxName);
  // Opaque, so that it hides the frame's own caption text beneath it.
  FCaptionBox->setAutoFillBackground(true);
  connect(FCaptionBox, &TCheckBoxExt::OnClick, this, &TCheckedGroup::CheckClick);
  placeCaptionBox();
  FCaptionBox->show();
}

void TCheckedGroup::SetCaption(const QString& s)
{
  if (title() == s)
    return;
  setTitle(s);
  placeCaptionBox();
}

void TCheckedGroup::placeCaptionBox()
{
  if (!FCaptionBox)
    return;
  if (FCaptionBox->text() != title())
    FCaptionBox->setText(title());
  // The caption's width and room for the box in front of it, but never less
  // than the style's check box needs: a wider box must not clip the caption.
  const int w = std::max(QFontMetrics(font()).horizontalAdvance(title()) +
                             DesignPixels(22, DesignScale(font())),
                         FCaptionBox->sizeHint().width());
  const int h = FCaptionBox->sizeHint().height();
  // Over the caption line. The frame draws its caption inside the widget
  // here, so the box is centred on it rather than poking out above.
  QStyleOptionGroupBox opt;
  initStyleOption(&opt);
  const QRect label =
      style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, this);
  const int y = std::max(0, label.center().y() - h / 2);
  FCaptionBox->setGeometry(8, y, w, h);
}

void TCheckedGroup::SetEnableChildren(bool v)
{
  if (FEnableChildren == v)
    return;
  FEnableChildren = v;
  if (v)
    EnableChildrenOf(this, Checked());
}

void TCheckedGroup::SetChecked(bool v)
{
  FCaptionBox->setChecked(v);
}

void TCheckedGroup::SetNoEventChecked(bool v)
{
  if (FCaptionBox->isChecked() != v)
    FCaptionBox->SetNoEventChecked(v);
  if (FEnableChildren)
    EnableChildrenOf(this, Checked());
}

void TCheckedGroup::Loaded()
{
  if (FEnableChildren)
    EnableChildrenOf(this, Checked());
}

void TCheckedGroup::CheckClick()
{
  if (FEnableChildren)
    EnableChildrenOf(this, Checked());
  emit OnCheckClick();
}

void TCheckedGroup::EnableChildrenOf(QWidget* Parent, bool Enable)
{
  for (QObject* o : Parent->children()) {
    if (!o->isWidgetType() || o->objectName() == kCaptionBoxName)
      continue;
    auto* child = static_cast<QWidget*>(o);
    if (child->isWindow())
      continue; // popups and dialogs parented here are not inside the box
    auto* group = qobject_cast<TCheckedGroup*>(child);
    EnableChildrenOf(child, (Enable && group) ? group->Checked() : Enable);
    child->setEnabled(Enable);
  }
}

void TCheckedGroup::childEvent(QChildEvent* e)
{
  QGroupBox::childEvent(e);
  if (e->type() != QEvent::ChildAdded || !FEnableChildren || !e->child()->isWidgetType())
    return;
  auto* child = static_cast<QWidget*>(e->child());
  if (child == FCaptionBox || child->objectName() == kCaptionBoxName || child->isWindow())
    return;
  child->setEnabled(Checked());
}

void TCheckedGroup::paintEvent(QPaintEvent*)
{
  placeCaptionBox();
  // An etched frame whose top line runs through the middle of the caption
  // box, which covers it. Drawn here rather than by the style, which would
  // add its own caption text and place the line by its own metrics.
  QPainter p(this);
  const QRect r = rect().adjusted(0, FCaptionBox->geometry().center().y(), -1, -1);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(r.adjusted(1, 1, 0, 0));
}

void TCheckedGroup::resizeEvent(QResizeEvent* e)
{
  QGroupBox::resizeEvent(e);
  placeCaptionBox();
}

void TCheckedGroup::changeEvent(QEvent* e)
{
  QGroupBox::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
    placeCaptionBox();
}

} // namespace duv
