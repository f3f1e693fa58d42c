// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SynthesizePage.h"

#include "app/pages/PageSupport.h"
#include "app/pages/SASynthesizer.h"
#include "controls/CheckedGroup.h"
#include "controls/RadioGroup.h"
#include "controls/Realspin.h"

#include "support/UiSupport.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace duv {

TSynthesizePage::TSynthesizePage(TSARealTime& RealTime, TWaveReader& Reader, QWidget* Parent)
    : QWidget(Parent)
{
  auto* v = PageLayout(this, 6, 4);

  TestBtn = new QPushButton(QStringLiteral("Display Test Signal"), this);
  v->addWidget(TestBtn);

  GroupBox3 = new QGroupBox(QStringLiteral("Base Wave"), this);
  auto* base = new QFormLayout(GroupBox3);
  base->setContentsMargins(6, 4, 6, 6);
  base->setSpacing(3);
  FreqSpin = MakeSpin(QStringLiteral("Frequency"), 500, 1, GroupBox3);
  Limit(FreqSpin, 0, 50000);
  AmpSpin = MakeSpin(QStringLiteral("Amplitude"), 1, 0.1, GroupBox3);
  Limit(AmpSpin, 0, 10);
  DCSpin = MakeSpin(QStringLiteral("DC Bias"), 0, 0.1, GroupBox3); // no limits
  Freq2Spin = MakeSpin(QStringLiteral("End Freq"), 1000, 1, GroupBox3);
  Limit(Freq2Spin, 0, 50000);
  base->addRow(QStringLiteral("Frequency"), FreqSpin);
  base->addRow(QStringLiteral("Amplitude"), AmpSpin);
  base->addRow(QStringLiteral("DC Bias"), DCSpin);
  base->addRow(QStringLiteral("End Freq"), Freq2Spin);
  BaseTypeRadio = new TRadioGroup(QStringLiteral("Type"),
                                  {QStringLiteral("Sine"), QStringLiteral("Square")}, 2, GroupBox3);
  BaseTypeRadio->SetItemIndex(0);
  base->addRow(BaseTypeRadio);
  SweepChk = new QCheckBox(QStringLiteral("Sweep"), GroupBox3);
  base->addRow(SweepChk);
  v->addWidget(GroupBox3);

  ModulateChk = new TCheckedGroup(QStringLiteral("Modulate Wave"), this);
  ModulateChk->setAccessibleName(QStringLiteral("Modulate Wave"));
  auto* mod = new QFormLayout(ModulateChk);
  mod->setContentsMargins(6, 4, 6, 6);
  mod->setSpacing(3);
  ModTypeRadio = new TRadioGroup(
      QStringLiteral("Type"), {QStringLiteral("Add"), QStringLiteral("Mult"), QStringLiteral("FM")},
      2, ModulateChk);
  ModTypeRadio->SetItemIndex(0);
  mod->addRow(ModTypeRadio);
  MFreqSpin = MakeSpin(QStringLiteral("Frequency"), 2, 1, ModulateChk);
  Limit(MFreqSpin, 0, 50000);
  MAmpSpin = MakeSpin(QStringLiteral("Amplitude"), 1, 0.1, ModulateChk);
  Limit(MAmpSpin, 0, 10);
  mod->addRow(QStringLiteral("Frequency"), MFreqSpin);
  mod->addRow(QStringLiteral("Amplitude"), MAmpSpin);
  // The children follow the check: enabled only while it is checked.
  ModulateChk->SetEnableChildren(true);
  ModulateChk->SetNoEventChecked(false);
  v->addWidget(ModulateChk);

  PlaySoundChk = new QCheckBox(QStringLiteral("Play Sound"), this);
  v->addWidget(PlaySoundChk);
  v->addStretch(1);

  FSynthesizer = std::make_unique<TSASynthesizer>(
      RealTime, TSynthControls{*BaseTypeRadio, *FreqSpin, *AmpSpin, *DCSpin, *Freq2Spin, *SweepChk,
                               *ModulateChk, *ModTypeRadio, *MFreqSpin, *MAmpSpin, Reader});

  // Every control but "Play Sound" makes a new frame.
  const auto show = Guarded([this](auto&&...) { TestBtnClick(); });
  connect(TestBtn, &QPushButton::clicked, this, show);
  for (TRealSpin* spin : {FreqSpin, AmpSpin, DCSpin, Freq2Spin, MFreqSpin, MAmpSpin})
    connect(spin, &TRealSpin::OnChange, this, show);
  for (TRadioGroup* radio : {BaseTypeRadio, ModTypeRadio})
    connect(radio, &TRadioGroup::OnClick, this, show);
  connect(SweepChk, &QCheckBox::clicked, this, show);
  connect(ModulateChk, &TCheckedGroup::OnCheckClick, this, show);
}

TSynthesizePage::~TSynthesizePage() = default;

void TSynthesizePage::SetParams(const TSynthParams& P)
{
  BaseTypeRadio->SetItemIndex(P.Square ? 1 : 0);
  FreqSpin->SetValue(P.Freq);
  AmpSpin->SetValue(P.Amp);
  DCSpin->SetValue(P.DCBias);
  Freq2Spin->SetValue(P.EndFreq);
  SweepChk->setChecked(P.Sweep);
  ModulateChk->SetChecked(P.ModKind != 0);
  if (P.ModKind != 0)
    ModTypeRadio->SetItemIndex(P.ModKind - 1);
  MFreqSpin->SetValue(P.ModFreq);
  MAmpSpin->SetValue(P.ModAmp);
}

void TSynthesizePage::SetPlaySound(bool On) { PlaySoundChk->setChecked(On); }

void TSynthesizePage::TestBtnClick() { FSynthesizer->Synthesize(PlaySoundChk->isChecked()); }

} // namespace duv
