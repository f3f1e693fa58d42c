// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CheckBoxExt.h"

namespace duv {

TCheckBoxExt::TCheckBoxExt(QWidget* parent) : TCheckBoxExt(QString(), parent) {}

TCheckBoxExt::TCheckBoxExt(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
  connect(this, &QCheckBox::toggled, this, [this] {
    if (!FSilent)
      emit OnClick();
  });
}

void TCheckBoxExt::SetNoEventChecked(bool v)
{
  if (isChecked() == v)
    return;
  FSilent = true;
  struct Reset
  {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FSilent};
  setChecked(v);
}

} // namespace duv
