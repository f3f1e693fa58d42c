// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ButtonAccess.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QKeySequence>
#include <QRadioButton>

namespace duv {

namespace {

class TClickAccessible : public QAccessibleWidget
{
public:
  TClickAccessible(QAbstractButton* Button, QAccessible::Role Role)
      : QAccessibleWidget(Button, Role)
  {
  }

  QString text(QAccessible::Text t) const override
  {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
      return WithoutMnemonic(button()->text());
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override
  {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = button()->isChecked();
    s.pressed = button()->isDown();
    return s;
  }

  QStringList actionNames() const override
  {
    if (!widget()->isEnabled())
      return {};
    return {toggleAction(), pressAction()};
  }

  void doAction(const QString& Action) override
  {
    // Whatever the reader calls it, the button is clicked: its handler runs
    // and the check follows, as for the mouse and the keyboard.
    if (widget()->isEnabled() && (Action == toggleAction() || Action == pressAction()))
      button()->click();
  }

  QStringList keyBindingsForAction(const QString& Action) const override
  {
    const QKeySequence key = QKeySequence::mnemonic(button()->text());
    if (key.isEmpty() || (Action != toggleAction() && Action != pressAction()))
      return {};
    return {key.toString(QKeySequence::NativeText)};
  }

private:
  QAbstractButton* button() const { return static_cast<QAbstractButton*>(object()); }
};

QAccessibleInterface* ButtonFactory(const QString&, QObject* Object)
{
  auto* b = qobject_cast<QAbstractButton*>(Object);
  if (!b || !b->isCheckable())
    return nullptr; // a plain button's "Press" is already a click
  const QAccessible::Role role = qobject_cast<QCheckBox*>(b)      ? QAccessible::CheckBox
                                 : qobject_cast<QRadioButton*>(b) ? QAccessible::RadioButton
                                                                  : QAccessible::Button;
  return new TClickAccessible(b, role);
}

} // namespace

QString WithoutMnemonic(const QString& Caption)
{
  QString text = Caption;
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text[i] == QLatin1Char('&'))
      text.remove(i, 1); // "&&" keeps one
  return text;
}

void InstallButtonAccessibility()
{
  static const bool installed = (QAccessible::installFactory(ButtonFactory), true);
  Q_UNUSED(installed);
}

} // namespace duv
