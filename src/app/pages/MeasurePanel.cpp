// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/MeasurePanel.h"

#include "app/pages/BandsPage.h"
#include "app/pages/MeasureState.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAGlobalView.h"
#include "controls/ReadOut.h"
#include "support/DSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace duv {

TMeasurePanel::TMeasurePanel(TSpectrumView& Spectrum, TMeasureState& State, QWidget* Parent)
    : QWidget(Parent), FState(State)
{
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(2);
  auto* top = Row(4);
  MeasureChk = new QCheckBox(QStringLiteral("Measure"), this);
  MeasureChk->setToolTip(QStringLiteral("Measure the distortion and noise of a sine"));
  top->addWidget(MeasureChk);
  top->addSpacing(8);
  WeightingCombo = MakeWeightingList(State, this);
  top->addWidget(Caption(QStringLiteral("Weighting"), WeightingCombo, this));
  top->addWidget(WeightingCombo);
  SinePanel = new TReadOutPanel(QStringLiteral(" Sine:"), this);
  SineDis = SinePanel->AddReadOut(24);
  top->addWidget(SinePanel, 1);
  top->addStretch(0);
  v->addLayout(top);

  FiguresRow = new QWidget(this);
  auto* figures = Row(4);
  FiguresRow->setLayout(figures);
  const auto panel = [this, figures](const char* caption, int chars, int stretch) {
    auto* p = new TReadOutPanel(QString::fromLatin1(caption), FiguresRow);
    figures->addWidget(p, stretch);
    return p->AddReadOut(chars);
  };
  THDDis = panel(" THD:", 17, 3);
  THDNDis = panel(" THD+N:", 17, 3);
  SNRDis = panel(" SNR:", 8, 2);
  SINADDis = panel(" SINAD:", 8, 2);
  v->addWidget(FiguresRow);

  connect(MeasureChk, &QCheckBox::toggled, this, [this](bool on) {
    FFigures.reset();
    FMeasured = false;
    SinePanel->setVisible(on);
    FiguresRow->setVisible(on);
    ShowFigures();
  });
  connect(&Spectrum, &TSpectrumView::OnFrameShown, this, &TMeasurePanel::MeasureFrame);
  connect(&State, &TMeasureState::OnChange, this, &TMeasurePanel::ShowFigures);
  SinePanel->setVisible(false);
  FiguresRow->setVisible(false);
}

bool TMeasurePanel::Measuring() const
{
  return MeasureChk->isChecked();
}

void TMeasurePanel::SetMeasuring(bool On)
{
  MeasureChk->setChecked(On);
}

QString TMeasurePanel::Text(const QString& Caption) const
{
  for (const auto& [name, dis] :
       {std::pair{"Sine", SineDis}, std::pair{"THD", THDDis}, std::pair{"THD+N", THDNDis},
        std::pair{"SNR", SNRDis}, std::pair{"SINAD", SINADDis}})
    if (Caption == QLatin1String(name))
      return dis->Text();
  return QString();
}

void TMeasurePanel::MeasureFrame(std::span<const double> Samples, const TSpectrumFrame& Frame)
{
  // No samples: the trace was cleared, and there is nothing to tell.
  if (Samples.empty())
    FFigures.reset();
  else if (Measuring())
    FFigures = FMeter.Measure(Samples, Frame.Format.SampleRate, Frame.Format.Bits);
  else
    return;
  FMeasured = !Samples.empty();
  ShowFigures();
}

void TMeasurePanel::ShowFigures()
{
  TReadOut* const all[] = {SineDis, THDDis, THDNDis, SNRDis, SINADDis};
  if (!FFigures) {
    for (TReadOut* r : all)
      r->SetText(QString());
    if (FMeasured)
      SineDis->SetText(QStringLiteral("No tone stands out of the noise"));
    return;
  }
  const TDistortion& f = *FFigures;
  // The level as the spectrum shows it: weighted and calibrated.
  const TLevelCorrection& c = FState.Correction();
  SineDis->SetText(QStringLiteral("%1 Hz  %2 %3")
                       .arg(FormatFixed(f.Frequency, 2),
                            FormatFixed(f.Level + c.GainAt(f.Frequency), 2), c.Unit()));
  THDDis->SetText(RatioText(f.THD));
  THDNDis->SetText(RatioText(f.THDN));
  SNRDis->SetText(DecibelsText(f.SNR) + QStringLiteral(" dB"));
  SINADDis->SetText(DecibelsText(f.SINAD) + QStringLiteral(" dB"));
}

} // namespace duv
