// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QSignalBlocker>

namespace duv {

TRadioGroup::TRadioGroup(const QString& Caption, const QStringList& Items, int Columns,
                         QWidget* parent)
    : QGroupBox(Caption, parent), FGroup(new QButtonGroup(this))
{
  setAccessibleName(QString(Caption).remove(QLatin1Char('&')));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setVerticalSpacing(0);
  Columns = std::max(1, Columns);
  const int rows = (int(Items.size()) + Columns - 1) / Columns;
  for (int i = 0; i < Items.size(); ++i) {
    auto* b = new QRadioButton(Items[i], this);
    FGroup->addButton(b, i);
    // Items fill a column before the next one, as in the desktop's radio groups.
    layout->addWidget(b, i % rows, i / rows);
  }
  connect(FGroup, &QButtonGroup::idClicked, this, [this](int) { emit OnClick(); });
}

int TRadioGroup::ItemIndex() const { return FGroup->checkedId(); }

void TRadioGroup::SetItemIndex(int Index)
{
  const QSignalBlocker block(FGroup);
  if (QAbstractButton* b = FGroup->button(Index)) {
    b->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked; let go of it to show none.
  if (QAbstractButton* checked = FGroup->checkedButton()) {
    FGroup->setExclusive(false);
    checked->setChecked(false);
    FGroup->setExclusive(true);
  }
}

QRadioButton* TRadioGroup::Button(int Index) const
{
  return qobject_cast<QRadioButton*>(FGroup->button(Index));
}

int TRadioGroup::Count() const { return int(FGroup->buttons().size()); }

} // namespace duv
