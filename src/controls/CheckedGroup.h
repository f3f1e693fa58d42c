// SPDX-License-Identifier: GPL-3.0-or-later
// A group box whose caption is a check box: checking it enables the controls
// inside, unchecking disables them, nested checked groups keeping their own
// contents disabled while they are unchecked.
#pragma once

#include "controls/CheckBoxExt.h"

#include <QGroupBox>

namespace duv {

class TCheckedGroup : public QGroupBox
{
  Q_OBJECT
public:
  explicit TCheckedGroup(QWidget* parent = nullptr);
  explicit TCheckedGroup(const QString& caption, QWidget* parent = nullptr);

  QString Caption() const { return title(); }
  void SetCaption(const QString& s);
  bool EnableChildren() const { return FEnableChildren; }
  // Turning it on applies the check state to the children at once.
  void SetEnableChildren(bool v);
  bool Checked() const { return FCaptionBox->isChecked(); }
  // Like a click: the children follow and OnCheckClick fires on a change.
  void SetChecked(bool v);
  bool NoEventChecked() const { return FCaptionBox->isChecked(); }
  // The same state without OnCheckClick; the children's state is re-applied
  // even when the value does not change.
  void SetNoEventChecked(bool v);

  TCheckBoxExt* CaptionBox() const { return FCaptionBox; }

  // For owners that build their contents with the group unchecked and
  // EnableChildren already set: brings the children into line.
  void Loaded();

  // Sets every control under Parent (but no caption box) to Enable, where
  // an unchecked nested group keeps its own contents disabled.
  static void EnableChildrenOf(QWidget* Parent, bool Enable);

signals:
  void OnCheckClick();

protected:
  void paintEvent(QPaintEvent* e) override;
  void childEvent(QChildEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  void CheckClick();
  void placeCaptionBox();

  TCheckBoxExt* FCaptionBox = nullptr;
  bool FEnableChildren = false;
};

} // namespace duv
