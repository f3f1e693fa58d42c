// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SynthesizePage.h"

#include "app/pages/PageSupport.h"
#include "app/pages/SASynthesizer.h"
#include "controls/CheckedGroup.h"
#include "controls/RadioGroup.h"
#include "controls/ReadOut.h"
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

  // Mnemonics: no two on a page share a letter, nor take one of the menus'
  // (F, E, S, H).
  TestBtn = new QPushButton(QStringLiteral("Display &Test Signal"), this);
  v->addWidget(TestBtn);
  // The frame is a live frame: as long as the Real Time page's buffer, at
  // its format's rate.
  auto* frame = new TReadOutPanel(QStringLiteral(" Frame:"), this);
  FrameDis = frame->AddReadOut(16);
  frame->setToolTip(QStringLiteral("The test signal is as long as a live frame: the Real Time "
                                   "page's buffer size, at the rate of its data format"));
  v->addWidget(frame);

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
  base->addRow(QStringLiteral("F&requency"), FreqSpin);
  base->addRow(QStringLiteral("&Amplitude"), AmpSpin);
  base->addRow(QStringLiteral("DC &Bias"), DCSpin);
  base->addRow(QStringLiteral("E&nd Freq"), Freq2Spin);
  BaseTypeRadio = new TRadioGroup(
      QStringLiteral("Type"), {QStringLiteral("S&ine"), QStringLiteral("S&quare")}, 2, GroupBox3);
  BaseTypeRadio->SetItemIndex(0);
  base->addRow(BaseTypeRadio);
  SweepChk = new QCheckBox(QStringLiteral("S&weep"), GroupBox3);
  base->addRow(SweepChk);
  v->addWidget(GroupBox3);

  ModulateChk = new TCheckedGroup(QStringLiteral("Modulate Wave"), this);
  ModulateChk->setAccessibleName(QStringLiteral("Modulate Wave"));
  auto* mod = new QFormLayout(ModulateChk);
  mod->setContentsMargins(6, 4, 6, 6);
  mod->setSpacing(3);
  ModTypeRadio = new TRadioGroup(
      QStringLiteral("Type"),
      {QStringLiteral("A&dd"), QStringLiteral("M&ult"), QStringLiteral("FM")}, 2, ModulateChk);
  ModTypeRadio->SetItemIndex(0);
  mod->addRow(ModTypeRadio);
  MFreqSpin = MakeSpin(QStringLiteral("Frequency"), 2, 1, ModulateChk);
  Limit(MFreqSpin, 0, 50000);
  MAmpSpin = MakeSpin(QStringLiteral("Amplitude"), 1, 0.1, ModulateChk);
  Limit(MAmpSpin, 0, 10);
  mod->addRow(QStringLiteral("Frequen&cy"), MFreqSpin);
  mod->addRow(QStringLiteral("Amp&litude"), MAmpSpin);
  // The children follow the check: enabled only while it is checked.
  ModulateChk->SetEnableChildren(true);
  ModulateChk->SetNoEventChecked(false);
  v->addWidget(ModulateChk);

  PlaySoundChk = new QCheckBox(QStringLiteral("Play S&ound"), this);
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

void TSynthesizePage::ShowFrameSetup()
{
  const TSynthParams p = FSynthesizer->Params();
  FrameDis->SetText(QStringLiteral("%1 at %2 Hz").arg(p.FrameLength).arg(p.Rate));
}

QString TSynthesizePage::FrameText() const
{
  return FrameDis->Text();
}

void TSynthesizePage::TestBtnClick()
{
  // Live capture would overwrite the frame within one buffer.
  Q_EMIT OnTestSignal();
  ShowFrameSetup();
  FSynthesizer->Synthesize(PlaySoundChk->isChecked());
}

} // namespace duv
