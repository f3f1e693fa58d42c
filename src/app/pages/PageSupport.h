// SPDX-License-Identifier: GPL-3.0-or-later
// Small builders the window's pages share: a captioned list, a spin edit with
// limits, a page's column and a row of controls.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace duv {

class TRealSpin;

// The window's design geometry that pages share, in pixels at the design font.
inline constexpr int SplitterWidth = 8;

// The buffer-size lists' items: 256 .. 32768.
QStringList BufferSizeItems();
// A drop-down list named for screen readers, as wide as its longest item.
QComboBox* MakeList(const QString& Name, QWidget* Parent);
// A caption above its control, as the input pages lay them out.
QLabel* Caption(const QString& Text, QWidget* Buddy, QWidget* Parent);
TRealSpin* MakeSpin(const QString& Name, double Value, double Step, QWidget* Parent);
void Limit(TRealSpin* Spin, double Lo, double Hi);
// A page's column of controls: input pages breathe more than view pages.
QVBoxLayout* PageLayout(QWidget* Sheet, int Margin, int Spacing);
QHBoxLayout* Row(int Spacing = 2);

} // namespace duv
