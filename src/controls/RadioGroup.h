// SPDX-License-Identifier: GPL-3.0-or-later
// A group box of radio buttons in one or more columns, read and set by the
// index of the checked item, as the program's option lists are.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace duv {

class TRadioGroup : public QGroupBox
{
  Q_OBJECT
public:
  TRadioGroup(const QString& Caption, const QStringList& Items, int Columns,
              QWidget* parent = nullptr);

  // The checked item, -1 for none.
  int ItemIndex() const;
  // Checks item Index (none for an index outside the list); no OnClick.
  void SetItemIndex(int Index);
  QRadioButton* Button(int Index) const;
  int Count() const;

signals:
  // The user checked an item.
  void OnClick();

private:
  QButtonGroup* FGroup;
};

} // namespace duv
