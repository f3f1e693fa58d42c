// SPDX-License-Identifier: GPL-3.0-or-later
// A check box whose state can also be set without firing its click event.
#pragma once

#include <QCheckBox>

namespace duv {

class TCheckBoxExt : public QCheckBox
{
  Q_OBJECT
public:
  explicit TCheckBoxExt(QWidget* parent = nullptr);
  explicit TCheckBoxExt(const QString& text, QWidget* parent = nullptr);

  bool NoEventChecked() const { return isChecked(); }
  // Changes the state with OnClick held back for the change.
  void SetNoEventChecked(bool v);

signals:
  // Every change of the check state, by the user or by setChecked, except
  // those made through SetNoEventChecked.
  void OnClick();

private:
  bool FSilent = false;
};

} // namespace duv
