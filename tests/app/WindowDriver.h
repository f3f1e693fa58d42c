// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the window as a user or a screen reader does: controls are found by
// the name a screen reader announces (a caption, a glyph button's hint, the
// name of a list or a read-out), never through the window's members.
#pragma once

#include "audio/Waveread.h"

#include <QAccessible>
#include <QComboBox>
#include <QList>
#include <QStringList>
#include <QWidget>
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

} // namespace duv::test
