// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/PageSupport.h"

#include "analysis/SAGlobal.h"
#include "controls/Realspin.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace duv {

QStringList BufferSizeItems()
{
  QStringList items;
  for (int n : BufferSizes)
    items << QString::number(n);
  return items;
}

QComboBox* MakeList(const QString& Name, QWidget* Parent)
{
  auto* combo = new QComboBox(Parent);
  combo->setAccessibleName(Name);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return combo;
}

QLabel* Caption(const QString& Text, QWidget* Buddy, QWidget* Parent)
{
  auto* label = new QLabel(Text, Parent);
  label->setBuddy(Buddy);
  return label;
}

TRealSpin* MakeSpin(const QString& Name, double Value, double Step, QWidget* Parent)
{
  auto* spin = new TRealSpin(Parent);
  spin->setAccessibleName(Name);
  spin->SetIncrement(Step);
  spin->SetValue(Value);
  return spin;
}

void Limit(TRealSpin* Spin, double Lo, double Hi)
{
  Spin->SetUseLimit(true);
  Spin->SetMinValue(Lo);
  Spin->SetMaxValue(Hi);
}

QVBoxLayout* PageLayout(QWidget* Sheet, int Margin, int Spacing)
{
  auto* v = new QVBoxLayout(Sheet);
  v->setContentsMargins(Margin, Margin, Margin, Margin);
  v->setSpacing(Spacing);
  return v;
}

QHBoxLayout* Row(int Spacing)
{
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(Spacing);
  return row;
}

} // namespace duv
