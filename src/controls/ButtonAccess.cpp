// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ButtonAccess.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QKeySequence>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

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
    s.checkable = button()->isCheckable();
    s.checked = button()->isChecked();
    s.pressed = button()->isDown();
    return s;
  }

  QStringList actionNames() const override
  {
    QStringList names = QAccessibleWidget::actionNames(); // "SetFocus"
    if (widget()->isEnabled())
      names << (button()->isCheckable() ? QStringList{toggleAction(), pressAction()}
                                        : QStringList{pressAction()});
    return names;
  }

  void doAction(const QString& Action) override
  {
    // Whatever the reader calls it, the button is clicked: its handler runs
    // and the check follows, as for the mouse and the keyboard.
    if (Action == toggleAction() || Action == pressAction()) {
      if (widget()->isEnabled())
        button()->click();
      return;
    }
    QAccessibleWidget::doAction(Action);
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
  // A button may become checkable after its interface is made, so every
  // button gets this one; a button with a menu keeps Qt's, whose action
  // opens the menu.
  if (!b)
    return nullptr;
  if (auto* tool = qobject_cast<QToolButton*>(b); tool && tool->menu())
    return nullptr;
  if (auto* push = qobject_cast<QPushButton*>(b); push && push->menu())
    return nullptr;
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
