// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement read-out under the spectrum: "Measure" turns it on, and
// every frame shown then has its sine measured: the fundamental's frequency
// and level, THD, THD+N, SNR and SINAD. The weighting list sits beside it.
#pragma once

#include "analysis/Distortion.h"

#include <QWidget>
#include <optional>
#include <span>

class QCheckBox;
class QComboBox;

namespace duv {

class TMeasureState;
class TReadOut;
class TReadOutPanel;
class TSpectrumView;

class TMeasurePanel : public QWidget
{
  Q_OBJECT
public:
  TMeasurePanel(TSpectrumView& Spectrum, TMeasureState& State, QWidget* Parent = nullptr);

  bool Measuring() const;
  void SetMeasuring(bool On);
  // The figures of the last frame measured; none when it had no tone.
  const std::optional<TDistortion>& Figures() const { return FFigures; }
  // The read-outs' texts, by their captions without the colon: "Sine",
  // "THD", "THD+N", "SNR", "SINAD".
  QString Text(const QString& Caption) const;

  // Measures one frame's samples when "Measure" is on.
  void MeasureFrame(std::span<const double> Samples, const TSpectrumFrame& Frame);

private:
  void ShowFigures();

  TMeasureState& FState;
  QCheckBox* MeasureChk = nullptr;
  QComboBox* WeightingCombo = nullptr;
  QWidget* FiguresRow = nullptr;
  TReadOutPanel* SinePanel = nullptr;
  TReadOut *SineDis = nullptr, *THDDis = nullptr, *THDNDis = nullptr, *SNRDis = nullptr,
           *SINADDis = nullptr;
  TDistortionMeter FMeter;
  std::optional<TDistortion> FFigures;
  bool FMeasured = false; // a frame has been measured since "Measure" went on
};

} // namespace duv
