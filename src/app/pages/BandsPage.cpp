// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/BandsPage.h"

#include "app/pages/MeasureState.h"
#include "app/pages/PageSupport.h"
#include "app/pages/SAGlobalView.h"
#include "controls/ReadOut.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace duv {

QComboBox* MakeWeightingList(TMeasureState& State, QWidget* Parent)
{
  QComboBox* list = MakeList(QStringLiteral("Weighting"), Parent);
  for (TWeighting w : AllWeightings)
    list->addItem(WeightingName(w), int(w));
  list->setToolTip(QStringLiteral("Frequency weighting of the levels: Z none, A the ear at "
                                  "moderate levels, C loud sounds"));
  const auto show = [list, &State] {
    list->setCurrentIndex(list->findData(int(State.Correction().Weighting)));
  };
  show();
  QObject::connect(&State, &TMeasureState::OnChange, list, show);
  QObject::connect(list, &QComboBox::currentIndexChanged, list, [list, &State](int i) {
    if (i >= 0)
      State.SetWeighting(TWeighting(list->itemData(i).toInt()));
  });
  return list;
}

TBandsPage::TBandsPage(TSpectrumView& Spectrum, TMeasureState& State, QWidget* Parent)
    : QWidget(Parent), FSpectrum(Spectrum), FState(State)
{
  auto* v = PageLayout(this, 2, 2);
  auto* tools = Row(4);
  FractionCombo = MakeList(QStringLiteral("Bands"), this);
  FractionCombo->addItem(QStringLiteral("Octave"), OctaveFraction);
  FractionCombo->addItem(QStringLiteral("Third Octave"), ThirdOctaveFraction);
  FractionCombo->setCurrentIndex(1);
  tools->addWidget(Caption(QStringLiteral("Bands"), FractionCombo, this));
  tools->addWidget(FractionCombo);
  tools->addSpacing(8);
  WeightingCombo = MakeWeightingList(State, this);
  tools->addWidget(Caption(QStringLiteral("Weighting"), WeightingCombo, this));
  tools->addWidget(WeightingCombo);
  tools->addStretch(1);
  v->addLayout(tools);

  FView = new TBandsView(this);
  v->addWidget(FView, 1);
  auto* band = new TReadOutPanel(QStringLiteral(" Band:"), this);
  BandDis = band->AddReadOut(30);
  v->addWidget(band);

  // Hidden, the page leaves the frames alone and catches up when shown.
  connect(&Spectrum, &TSpectrumView::OnFrameShown, this,
          [this](std::span<const double>, const TSpectrumFrame& Frame) {
            if (isVisible())
              ShowFrame(Frame);
          });
  connect(&State, &TMeasureState::OnChange, this, &TBandsPage::StateChange);
  connect(FractionCombo, &QComboBox::currentIndexChanged, this,
          [this] { ShowFrame(FSpectrum.LastFrame()); });
  connect(FView, &TBandsView::OnHover, this, [this] { BandDis->SetText(FView->HoverText()); });
  StateChange();
}

int TBandsPage::Fraction() const
{
  return FractionCombo->currentData().toInt();
}

void TBandsPage::SetFraction(int Fraction)
{
  // Another fraction would leave the list with nothing chosen.
  if (const int i = FractionCombo->findData(Fraction); i >= 0)
    FractionCombo->setCurrentIndex(i);
}

QString TBandsPage::BandText() const
{
  return BandDis->Text();
}

void TBandsPage::StateChange()
{
  ShowFrame(FSpectrum.LastFrame());
}

void TBandsPage::showEvent(QShowEvent* Event)
{
  QWidget::showEvent(Event);
  ShowFrame(FSpectrum.LastFrame());
}

void TBandsPage::ShowFrame(const TSpectrumFrame& Frame)
{
  const TLevelCorrection& c = FState.Correction();
  const double floor = DecibelFloor(Frame.Format.Bits) + c.Shift();
  FView->SetUnit(c.Unit());
  FView->SetRange(floor, c.Shift() + 10);
  if (Frame.Magnitude.empty()) {
    FBars.clear();
    FView->SetBars(FBars);
    return;
  }
  // The bands are worked out again only when the layout changes.
  const int fraction = Fraction();
  if (fraction != FBandsFraction || !(Frame.Format == FBandsFormat)) {
    FBands = ResolvedBands(fraction, Frame.Format);
    FBandsFormat = Frame.Format;
    FBandsFraction = fraction;
  }
  TLevelCorrector& corrector = FState.Corrector();
  const double step = Frame.Format.FreqStep();
  BinPowers(Frame,
            c.IsIdentity() ? std::span<const double>()
                           : corrector.Gains(step, int(Frame.Magnitude.size())),
            FPowers);
  FTotals.assign(FBands.size(), 0.0);
  AddBandPowers(FPowers, step, FBands, FTotals);
  FBars.resize(FBands.size());
  for (std::size_t i = 0; i < FBands.size(); ++i)
    FBars[i] = {FBands[i], PowerLevel(FTotals[i], floor)};
  FView->SetBars(FBars);
  BandDis->SetText(FView->HoverText());
}

} // namespace duv
