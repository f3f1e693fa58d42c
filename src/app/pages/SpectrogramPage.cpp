// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SpectrogramPage.h"

#include "analysis/SAGlobal.h"
#include "app/pages/PageSupport.h"
#include "controls/ReadOut.h"
#include "controls/Realspin.h"
#include "spectrogram/Spectrogram.h"
#include "support/ClockTime.h"
#include "support/DSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace duv {

TSpectrogramPage::TSpectrogramPage(QWidget* Parent) : QWidget(Parent)
{
  auto* v = PageLayout(this, 2, 2);
  auto* strip = Row(4);
  ColorCombo = MakeList(QStringLiteral("Color Scheme"), this);
  for (const TColorScheme& s : ColorSchemes)
    ColorCombo->addItem(QString::fromLatin1(s.Caption));
  ColorCombo->setCurrentIndex(0);
  strip->addWidget(Caption(QStringLiteral("Color Scheme"), ColorCombo, this));
  strip->addWidget(ColorCombo);
  TimeSpin = new TRealSpin(this);
  TimeSpin->setAccessibleName(QStringLiteral("Time"));
  TimeSpin->SetUnitsString(QStringLiteral("Sec"));
  TimeSpin->SetUseLimit(true);
  TimeSpin->SetMinValue(1);
  TimeSpin->SetMaxValue(600);
  TimeSpin->SetIncrement(1);
  TimeSpin->SetValue(10);
  strip->addSpacing(6);
  strip->addWidget(Caption(QStringLiteral("Time"), TimeSpin, this));
  strip->addWidget(TimeSpin);
  strip->addSpacing(6);
  auto* mouse = new TReadOutPanel(QStringLiteral(" Mouse:"), this);
  Mouse2Dis = mouse->AddReadOut(15);
  auto* note = new TReadOutPanel(QStringLiteral(" Note:"), this);
  Note2Dis = note->AddReadOut(10);
  strip->addWidget(mouse, 3);
  strip->addWidget(note, 2);
  v->addLayout(strip);
  auto* axes = Row(6);
  LogCheck = new QCheckBox(QStringLiteral("Log"), this);
  LogCheck->setToolTip(QStringLiteral("A logarithmic frequency axis"));
  RoundCheck = new QCheckBox(QStringLiteral("Round Ticks"), this);
  RoundCheck->setToolTip(QStringLiteral("Round values and units on the axes, and the dB scale"));
  axes->addWidget(LogCheck);
  axes->addWidget(RoundCheck);
  axes->addStretch(1);
  auto* level = new TReadOutPanel(QStringLiteral(" Level:"), this);
  Level2Dis = level->AddReadOut(11);
  axes->addWidget(level);
  v->addLayout(axes);

  SpectroGram1 = new TSpectroGram(this);
  SpectroGram1->setAccessibleName(QStringLiteral("Spectrogram"));
  SpectroGram1->DepthBar()->setAccessibleName(QStringLiteral("Color bands"));
  SpectroGram1->SetColorCount(DepthOf(ColorSchemes[0].Table));
  v->addWidget(SpectroGram1, 1);

  connect(ColorCombo, &QComboBox::currentIndexChanged, this, &TSpectrogramPage::ColorComboChange);
  connect(TimeSpin, &TRealSpin::OnChange, this, &TSpectrogramPage::OnTimeSpanChange);
  connect(SpectroGram1, &TSpectroGram::OnMouseMove, this,
          [this](QObject*, int x, int y) { SpectroGram1MouseMove(x, y); });
  connect(SpectroGram1, &TSpectroGram::OnMouseLeave, this, [this] { ClearMouse(); });
  connect(LogCheck, &QCheckBox::toggled, SpectroGram1, &TSpectroGram::SetLogFrequency);
  connect(RoundCheck, &QCheckBox::toggled, SpectroGram1, &TSpectroGram::SetRoundTicks);
  RoundCheck->setChecked(true);
}

void TSpectrogramPage::SetLogFrequency(bool Log)
{
  LogCheck->setChecked(Log);
}

bool TSpectrogramPage::LogFrequency() const
{
  return LogCheck->isChecked();
}

void TSpectrogramPage::SetRoundTicks(bool Round)
{
  RoundCheck->setChecked(Round);
}

bool TSpectrogramPage::RoundTicks() const
{
  return RoundCheck->isChecked();
}

void TSpectrogramPage::SetColorScheme(int Index) { ColorCombo->setCurrentIndex(Index); }

int TSpectrogramPage::ColorScheme() const { return ColorCombo->currentIndex(); }

QString TSpectrogramPage::MouseText() const { return Mouse2Dis->Text(); }

QString TSpectrogramPage::NoteText() const { return Note2Dis->Text(); }

void TSpectrogramPage::ColorComboChange()
{
  const int i = ColorCombo->currentIndex();
  const int n = int(std::size(ColorSchemes));
  SpectroGram1->SetColorCount(DepthOf(ColorSchemes[i >= 0 && i < n ? i : 0].Table));
  Q_EMIT OnColorSchemeChange();
}

QString TSpectrogramPage::LevelText() const
{
  return Level2Dis->Text();
}

void TSpectrogramPage::ClearMouse()
{
  Level2Dis->SetText(QString());
  Mouse2Dis->SetText(QString());
  Note2Dis->SetText(QString());
}

void TSpectrogramPage::SpectroGram1MouseMove(int X, int Y)
{
  // Off the plot the mapping runs past the axes: nothing to read there.
  if (!SpectroGram1->PlotContains(X, Y)) {
    ClearMouse();
    return;
  }
  double f = 0, t = 0;
  SpectroGram1->PixelToValue(X, Y, f, t);
  Mouse2Dis->SetText(FormatFixed(f, 1) + QStringLiteral("   ") + ClockTime(t, 1));
  // The level of the line under the pointer, in the colour bar's unit.
  double level = 0;
  Level2Dis->SetText(SpectroGram1->LevelAt(X, Y, level)
                         ? FormatFixed(level, 1) + QLatin1Char(' ') + SpectroGram1->DepthUnit()
                         : QString());
  Note2Dis->SetText(NoteName(f));
}

} // namespace duv
