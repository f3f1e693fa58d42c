// SPDX-License-Identifier: GPL-3.0-or-later
// The Bands view page: the level of every octave or third octave of the
// frame shown, summed in power from its spectrum under the weighting and
// calibration, as bars; the band under the pointer is read out below them.
#pragma once

#include "app/pages/BandsView.h"

#include <QWidget>
#include <span>

class QComboBox;

namespace duv {

class TMeasureState;
class TReadOut;
class TSpectrumView;
struct TSpectrumFrame;

class TBandsPage : public QWidget
{
  Q_OBJECT
public:
  // Frames come from Spectrum as it shows them; State holds the weighting
  // and the calibration, which the page's own list also sets.
  TBandsPage(TSpectrumView& Spectrum, TMeasureState& State, QWidget* Parent = nullptr);

  TBandsView& View() { return *FView; }
  // OctaveFraction or ThirdOctaveFraction.
  int Fraction() const;
  void SetFraction(int Fraction);
  QString BandText() const;

  // The bars of a frame, as the view shows them.
  void ShowFrame(const TSpectrumFrame& Frame);

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void StateChange();

  TSpectrumView& FSpectrum;
  TMeasureState& FState;
  QComboBox* FractionCombo = nullptr;
  QComboBox* WeightingCombo = nullptr;
  TBandsView* FView = nullptr;
  TReadOut* BandDis = nullptr;
  std::vector<TBand> FBands; // of the last frame's layout
  TFrameFormat FBandsFormat;
  int FBandsFraction = 0;
  std::vector<double> FPowers, FTotals;
  std::vector<TBandBar> FBars;
};

// The list of the three weightings, "Z", "A" and "C", kept in step with the
// state both ways.
QComboBox* MakeWeightingList(TMeasureState& State, QWidget* Parent);

} // namespace duv
