// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/SpinButtons.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace duv {

namespace {
const QColor kDisabledText(128, 128, 128);
constexpr int kButtonMinWidth = 15;
} // namespace

// ---------------------------------------------------------------- TArrowButton

TArrowButton::TArrowButton(QWidget* parent) : TAutoButton(parent) {}

void TArrowButton::SetUpArrow(bool v)
{
  if (FUpArrow == v)
    return;
  FUpArrow = v;
  update();
}

void TArrowButton::SetFocused(bool v)
{
  if (FFocused == v)
    return;
  FFocused = v;
  update();
}

void TArrowButton::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  paintFace(p);
  const int w = width();
  const int h = height();
  const QColor c = isEnabled() ? QColor(Qt::black) : kDisabledText;
  const int x0 = (w - 7) / 2;
  // The triangle row by row, outline included: three rows plus the tip, seven
  // pixels at the wide end.
  if (FUpArrow) {
    const int y0 = (h - 3) / 2 - 1;
    for (int r = 0; r <= 3; ++r)
      p.fillRect(x0 + 3 - r, y0 + r, 2 * r + 1, 1, c);
  } else {
    const int y0 = (h - 3) / 2;
    for (int r = 0; r <= 3; ++r)
      p.fillRect(x0 + r, y0 + r, 7 - 2 * r, 1, c);
  }
  if (FFocused && parentWidget() && parentWidget()->hasFocus()) {
    QStyleOptionFocusRect opt;
    opt.initFrom(this);
    opt.rect = rect().adjusted(3, 3, -3, -3);
    if (isDown())
      opt.rect.translate(1, 1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
  }
}

// --------------------------------------------------------------- TUpDownButton

TUpDownButton::TUpDownButton(QWidget* parent) : QWidget(parent)
{
  setFocusPolicy(Qt::NoFocus);
  setMinimumWidth(kButtonMinWidth);
  FUpButton = new TArrowButton(this);
  FUpButton->SetUpArrow(true);
  FUpButton->SetDoRepeat(true);
  FDownButton = new TArrowButton(this);
  FDownButton->SetDoRepeat(true);
  // Glyph-only buttons: a screen reader needs their purpose in words.
  FUpButton->setAccessibleName(QStringLiteral("Increase"));
  FDownButton->setAccessibleName(QStringLiteral("Decrease"));
  FFocusedButton = FUpButton;
  connect(FUpButton, &QAbstractButton::clicked, this, &TUpDownButton::OnUpClick);
  connect(FDownButton, &QAbstractButton::clicked, this, &TUpDownButton::OnDownClick);
  connect(FUpButton, &QAbstractButton::pressed, this, [this] { btnPressed(FUpButton); });
  connect(FDownButton, &QAbstractButton::pressed, this, [this] { btnPressed(FDownButton); });
  resize(17, 23);
  arrange();
}

bool TUpDownButton::Pressed() const
{
  return FUpButton->IsPressed() || FDownButton->IsPressed();
}

void TUpDownButton::arrange()
{
  const int w = std::max(width(), kButtonMinWidth);
  const int h = height();
  FUpButton->setGeometry(0, 0, w, h / 2);
  // The down button starts a row higher, so the two share one row.
  FDownButton->setGeometry(0, h / 2 - 1, w, h - h / 2 + 1);
}

void TUpDownButton::resizeEvent(QResizeEvent*)
{
  arrange();
}

bool TUpDownButton::canTakeFocus() const
{
  return (focusPolicy() & Qt::TabFocus) && isEnabled() && isVisible();
}

void TUpDownButton::setFocusBtn(TArrowButton* b)
{
  if (!canTakeFocus() || b == FFocusedButton)
    return;
  FFocusedButton->SetFocused(false);
  FFocusedButton = b;
  if (hasFocus()) {
    FFocusedButton->SetFocused(true);
    FFocusedButton->update();
  }
}

void TUpDownButton::btnPressed(TArrowButton* b)
{
  setFocusBtn(b);
  QWidget* fc = FFocusControl;
  if (fc && (fc->focusPolicy() & Qt::TabFocus) && fc->isEnabled() && fc->isVisible() &&
      !fc->hasFocus())
    fc->setFocus(Qt::OtherFocusReason);
  else if (canTakeFocus() && !hasFocus())
    setFocus(Qt::MouseFocusReason);
}

bool TUpDownButton::event(QEvent* e)
{
  // Keep the arrow keys for ourselves rather than moving focus with them.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
      e->accept();
      return true;
    }
  }
  return QWidget::event(e);
}

void TUpDownButton::keyPressEvent(QKeyEvent* e)
{
  switch (e->key()) {
  case Qt::Key_Space:
    emit FFocusedButton->clicked(false);
    break;
  case Qt::Key_Up:
    setFocusBtn(FUpButton);
    emit FUpButton->clicked(false);
    break;
  case Qt::Key_Down:
    setFocusBtn(FDownButton);
    emit FDownButton->clicked(false);
    break;
  default:
    QWidget::keyPressEvent(e);
  }
}

void TUpDownButton::focusInEvent(QFocusEvent* e)
{
  QWidget::focusInEvent(e);
  FFocusedButton->SetFocused(true);
  FFocusedButton->update();
}

void TUpDownButton::focusOutEvent(QFocusEvent* e)
{
  QWidget::focusOutEvent(e);
  FFocusedButton->SetFocused(false);
  FFocusedButton->update();
}

void TUpDownButton::changeEvent(QEvent* e)
{
  QWidget::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) {
    FUpButton->update();
    FDownButton->update();
  }
}

// ------------------------------------------------------------------- TDisPanel

TDisPanel::TDisPanel(QWidget* parent) : QFrame(parent)
{
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
}

void TDisPanel::SetCaption(const QString& s)
{
  if (FCaption == s)
    return;
  FCaption = s;
  update();
}

void TDisPanel::paintEvent(QPaintEvent* e)
{
  QFrame::paintEvent(e);
  QPainter p(this);
  p.setPen(isEnabled() ? QColor(Qt::black) : kDisabledText);
  p.drawText(contentsRect(), Qt::AlignCenter, FCaption);
}

// --------------------------------------------------------------- TCustomEditEx

TCustomEditEx::TCustomEditEx(QWidget* parent) : QLineEdit(parent) {}

void TCustomEditEx::SetAlignment(TAlignment a)
{
  if (FAlignment == a)
    return;
  FAlignment = a;
  const Qt::Alignment h = a == taRightJustify ? Qt::AlignRight
                          : a == taCenter     ? Qt::AlignHCenter
                                              : Qt::AlignLeft;
  setAlignment(h | Qt::AlignVCenter);
}

void TCustomEditEx::focusOutEvent(QFocusEvent* e)
{
  QLineEdit::focusOutEvent(e);
  // A context menu borrows the focus without the user leaving the field.
  if (e->reason() == Qt::PopupFocusReason)
    return;
  DoExit();
  emit OnKillFocus();
}

void TCustomEditEx::Beep()
{
  QApplication::beep();
}

// ----------------------------------------------------------------- TCustomSpin

TCustomSpin::TCustomSpin(QWidget* parent) : TCustomEditEx(parent)
{
  FButton = new TUpDownButton(this);
  FButton->resize(15, 17);
  FButton->SetFocusControl(this);
  FPanel = new TDisPanel(this);
  FPanel->resize(0, 17);
  FPanel->hide();
  connect(FButton, &TUpDownButton::OnUpClick, this, [this] { UpClick(FButton); });
  connect(FButton, &TUpDownButton::OnDownClick, this, [this] { DownClick(FButton); });
  connect(this, &QLineEdit::textChanged, this, &TCustomSpin::onTextChanged);
  setText(QStringLiteral("0"));
  const QFontMetrics fm(font());
  setMinimumHeight(fm.height() + 2 * 1 + 2);
  arrange();
}

void TCustomSpin::onTextChanged()
{
  if (!FShowing)
    TextChanged();
  if (!FBlockChangeEvent)
    emit OnChange();
}

void TCustomSpin::ShowText(const QString& s)
{
  if (text() == s)
    return;
  FShowing = true;
  struct Reset
  {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FShowing};
  setText(s);
}

void TCustomSpin::SetEditorEnabled(bool v)
{
  if (FEditorEnabled == v)
    return;
  FEditorEnabled = v;
  applyReadOnly();
}

void TCustomSpin::SetReadOnly(bool v)
{
  if (FReadOnly == v)
    return;
  FReadOnly = v;
  applyReadOnly();
}

void TCustomSpin::applyReadOnly()
{
  // A field closed to editing by either setting refuses cut, paste, delete,
  // undo, drops and input-method text all at once; typed characters are
  // still checked first so that refused ones beep.
  setReadOnly(FReadOnly || !FEditorEnabled);
}

void TCustomSpin::SetUnitsString(const QString& s)
{
  if (FUnitsString == s)
    return;
  FUnitsString = s;
  FPanel->SetCaption(s);
  arrange();
}

void TCustomSpin::SetPanelWidth(int w)
{
  if (FPanelWidth == w)
    return;
  FPanelWidth = w;
  arrange();
}

bool TCustomSpin::ControlHeld() const
{
  return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}

void TCustomSpin::arrange()
{
  const int W = width();
  const int H = height();
  const int bw = std::max(FButton->width(), kButtonMinWidth);
  // With a frame (the 3-D look) the parts sit inside the 2-pixel border.
  if (hasFrame())
    FButton->setGeometry(W - bw - 2, 2, bw, H - 4);
  else
    FButton->setGeometry(W - bw - 1, 1, bw, H - 2);
  int panelW = 0;
  if (!FUnitsString.isEmpty())
    panelW =
        FPanelWidth != 0 ? FPanelWidth : QFontMetrics(font()).horizontalAdvance(FUnitsString) + 6;
  const QRect b = FButton->geometry();
  FPanel->setGeometry(b.x() - panelW, b.y(), panelW, b.height());
  FPanel->setVisible(panelW > 0);
  setTextMargins(0, 0, bw + 2 + panelW, 0);
}

void TCustomSpin::resizeEvent(QResizeEvent* e)
{
  TCustomEditEx::resizeEvent(e);
  arrange();
}

void TCustomSpin::changeEvent(QEvent* e)
{
  TCustomEditEx::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    setMinimumHeight(QFontMetrics(font()).height() + 2 * 1 + 2);
    arrange();
  }
}

void TCustomSpin::keyPressEvent(QKeyEvent* e)
{
  const int key = e->key();
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    // The Ctrl state belongs to this key press, not to whatever the
    // keyboard shows by the time the step runs.
    FKeyCtrl = (e->modifiers() & Qt::ControlModifier) != 0;
    struct Reset
    {
      std::optional<bool>& v;
      ~Reset() { v.reset(); }
    } reset{FKeyCtrl};
    if (key == Qt::Key_Up)
      UpClick(this);
    else
      DownClick(this);
    TCustomEditEx::keyPressEvent(e);
    return;
  }
  // Enter goes on to the dialog's default button as usual.
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    TCustomEditEx::keyPressEvent(e);
    return;
  }
  if (key == Qt::Key_Delete) {
    if (FEditorEnabled)
      TCustomEditEx::keyPressEvent(e);
    else
      Beep();
    return;
  }
  const QString t = e->text();
  const bool clipboardKey = e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Paste) ||
                            e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll);
  if (!clipboardKey) {
    for (QChar c : t) {
      if (!CharAllowed(c)) {
        Beep();
        e->accept();
        return;
      }
    }
  }
  TCustomEditEx::keyPressEvent(e);
}

void TCustomSpin::focusInEvent(QFocusEvent* e)
{
  TCustomEditEx::focusInEvent(e);
  const bool mouse = e->reason() == Qt::MouseFocusReason;
  if (FAutoSelect && !mouse)
    selectAll();
  else if (!FAutoSelect && !mouse)
    deselect();
}

int TCustomSpin::StepMultiplier() const
{
  const bool ctrl = FKeyCtrl ? *FKeyCtrl : ControlHeld();
  return ctrl ? 10 : 1;
}

} // namespace duv
