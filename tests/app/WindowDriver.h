// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the window as a user or a screen reader does: controls are found by
// the name a screen reader announces (a caption, a glyph button's hint, the
// name of a list or a read-out), never through the window's members.
#pragma once

#include "audio/Waveread.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QSlider>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace duv::test {

// Keeps the reader's messages (a test machine may have no input at all) out
// of message boxes while it lives.
class QuietReader
{
public:
  QuietReader() : FPrevious(SetWaveMessageHandler([](const QString&) {})) {}
  ~QuietReader() { SetWaveMessageHandler(FPrevious); }
  QuietReader(const QuietReader&) = delete;
  QuietReader& operator=(const QuietReader&) = delete;

private:
  TWaveMessageEvent FPrevious;
};

// The name set on the control, else the one its accessible interface makes
// (a button's caption without its mnemonic, say).
inline QString AccessibleName(QWidget* w)
{
  if (!w->accessibleName().isEmpty())
    return w->accessibleName();
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
  return a ? a->text(QAccessible::Name) : QString();
}

// The controls of type T under Scope that a screen reader names Name, in the
// order they were made.
template <typename T = QWidget> QList<T*> FindAll(QWidget& Scope, const QString& Name)
{
  QList<T*> found;
  for (T* w : Scope.findChildren<T*>())
    if (AccessibleName(w) == Name)
      found << w;
  return found;
}

// The Index-th of them; a test that asks for one that is not there fails.
template <typename T = QWidget> T& Find(QWidget& Scope, const QString& Name, int Index = 0)
{
  const QList<T*> found = FindAll<T>(Scope, Name);
  if (Index >= found.size()) {
    ADD_FAILURE() << "no control named \"" << Name.toStdString() << "\" #" << Index;
    throw std::runtime_error("missing control");
  }
  return *found[Index];
}

inline QStringList Items(const QComboBox& c)
{
  QStringList out;
  for (int i = 0; i < c.count(); ++i)
    out << c.itemText(i);
  return out;
}

// The mouse and keys as the desktop sends them: through the window system
// layer of Target's window, where Qt pairs two clicks close in time and place
// into a double-click, rather than straight to a widget. At is in Target's
// coordinates; GapMs is the time since the previous event.
inline QWindow* WindowOf(QWidget& Target)
{
  return Target.window()->windowHandle();
}

inline QPoint InWindow(QWidget& Target, QPoint At)
{
  return Target.mapTo(Target.window(), At);
}

inline void DesktopPress(QWidget& Target, QPoint At, Qt::KeyboardModifiers Mods = {},
                         int GapMs = 40)
{
  QTest::mousePress(WindowOf(Target), Qt::LeftButton, Mods, InWindow(Target, At), GapMs);
}

inline void DesktopMove(QWidget& Target, QPoint At, int GapMs = 20)
{
  QTest::mouseMove(WindowOf(Target), InWindow(Target, At), GapMs);
}

inline void DesktopRelease(QWidget& Target, QPoint At, Qt::KeyboardModifiers Mods = {},
                           int GapMs = 40)
{
  QTest::mouseRelease(WindowOf(Target), Qt::LeftButton, Mods, InWindow(Target, At), GapMs);
  // QTest moves its clock half a second on after every release so that its
  // clicks never pair; a desktop's clock does not jump.
  QTest::lastMouseTimestamp -= QTest::mouseDoubleClickInterval;
}

inline void DesktopClick(QWidget& Target, QPoint At, Qt::KeyboardModifiers Mods = {},
                         int GapMs = 40)
{
  DesktopPress(Target, At, Mods, GapMs);
  DesktopRelease(Target, At, Mods);
}

// Two clicks as a hand makes them: the second press 100 ms after the first
// release.
inline void DesktopDoubleClick(QWidget& Target, QPoint At)
{
  DesktopClick(Target, At);
  DesktopClick(Target, At, {}, 100);
}

// Runs the event loop for Ms; the events' clock moves on as the desktop's
// would, so a click after the wait never pairs with one before it.
inline void DesktopWait(int Ms)
{
  QTest::qWait(Ms);
  QTest::lastMouseTimestamp += Ms;
}

// A key pressed and released on the window with the focus, as typed.
inline void DesktopKey(QWidget& Target, Qt::Key Key, Qt::KeyboardModifiers Mods = {})
{
  QTest::keyClick(WindowOf(Target), Key, Mods);
}

// Text typed key by key into the window with the focus.
inline void DesktopType(QWidget& Target, const QString& Text)
{
  for (QChar c : Text)
    QTest::keyClick(WindowOf(Target), c.toLatin1());
}

// The middle of a slider's handle: a click there gives the slider the focus
// and leaves its value.
inline QPoint SliderHandle(const QSlider& S)
{
  QStyleOptionSlider o;
  o.initFrom(&S);
  o.orientation = S.orientation();
  o.minimum = S.minimum();
  o.maximum = S.maximum();
  o.sliderPosition = S.sliderPosition();
  o.sliderValue = S.value();
  o.singleStep = S.singleStep();
  o.pageStep = S.pageStep();
  o.tickPosition = S.tickPosition();
  o.upsideDown = S.orientation() == Qt::Horizontal
                     ? S.invertedAppearance() != (o.direction == Qt::RightToLeft)
                     : !S.invertedAppearance();
  return S.style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderHandle, &S).center();
}

// Answers the next file dialog that opens modally within TimeoutMs by typing
// Path into its name field and pressing Enter, as a user does. A dialog
// still open a while after that (it refused the name) is cancelled, so a
// journey never hangs in it.
class FileDialogAnswer
{
public:
  explicit FileDialogAnswer(const QString& Path, int TimeoutMs = 5000) : FPath(Path)
  {
    FClock.start();
    FTimer.setInterval(20);
    QObject::connect(&FTimer, &QTimer::timeout, [this, TimeoutMs] { Poll(TimeoutMs); });
    FTimer.start();
  }
  bool Opened() const { return FOpened; }
  // Whether the dialog had to be cancelled after the name was typed.
  bool Cancelled() const { return FCancelled; }

private:
  void Poll(int TimeoutMs)
  {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (FTyped) {
      if (dialog && dialog == FDialog && FClock.elapsed() > FTypedAt + 2000) {
        FCancelled = true;
        dialog->reject();
      }
      if (!dialog || FCancelled)
        FTimer.stop();
      return;
    }
    if (!dialog || !dialog->isVisible()) {
      if (FClock.elapsed() > TimeoutMs)
        FTimer.stop();
      return;
    }
    FOpened = true;
    FTyped = true;
    FTypedAt = FClock.elapsed();
    FDialog = dialog;
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name && !name->hasFocus())
      DesktopClick(*name, name->rect().center());
    DesktopKey(*dialog, Qt::Key_A, Qt::ControlModifier);
    DesktopType(*dialog, FPath);
    DesktopKey(*dialog, Qt::Key_Return);
  }
  QString FPath;
  QTimer FTimer;
  QElapsedTimer FClock;
  QPointer<QFileDialog> FDialog;
  bool FOpened = false, FTyped = false, FCancelled = false;
  qint64 FTypedAt = 0;
};

} // namespace duv::test
