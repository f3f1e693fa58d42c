// SPDX-License-Identifier: GPL-3.0-or-later
// The modeless "Spectrogram Settings" window: edits the bands of the
// spectrogram's colour bar (pick a band, change its colour and edges, reload
// the table, re-space, recolour by gradients). It keeps no state of its own;
// everything it shows is read back from the bar.
#pragma once

#include "support/DSupport.h"

#include <QDialog>
#include <QRect>
#include <vector>
#include <functional>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace duv {

class TColorBar;
class TIntegerSpin;
class TRealSpin;

class TSpectroDlg : public QDialog
{
  Q_OBJECT
public:
  // `bar` is the spectrogram's DepthBar; it outlives the dialog.
  explicit TSpectroDlg(TColorBar& bar, QWidget* parent = nullptr);

  // Band spin limit from the loaded table, refresh, show without waiting.
  void ShowSettingsDialog();
  // Shows the selected band; the spins' change handlers then snap its two
  // edges to the tenths of a dB displayed.
  void UpdateFromSelection();

  // The colour picker: the chosen colour, or nothing when cancelled.
  std::function<std::optional<TColor>(TColor initial)> PickColor;

  TIntegerSpin* DepthBandSpin = nullptr;
  QFrame* DisDepthColor = nullptr;
  QPushButton* GetDepthColor = nullptr;
  TRealSpin* DepthTopSpin = nullptr;
  TRealSpin* DepthBottomSpin = nullptr;
  QPushButton* ResetDepthColorBtn = nullptr;
  QPushButton* ResetDepthSpaceBtn = nullptr;
  QPushButton* DepthGradientBtn = nullptr;
  QPushButton* HueBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void DepthBandSpinChange();
  void GetDepthColorClick();
  void DepthTopSpinChange();
  void DepthBottomSpinChange();
  void ResetDepthColorBtnClick();
  void ResetDepthSpaceBtnClick();
  void DepthGradientBtnClick();
  void HueBtnClick();
  void CancelBtnClick();

protected:
  void changeEvent(QEvent* e) override;

private:
  // Every control sits where the design puts it, scaled to the font.
  struct Placed
  {
    QWidget* Widget;
    QRect Design;
    bool Label; // placed by its top-left corner, sized to its text
  };
  void Place(QWidget* w, const QRect& design);
  void PlaceLabel(QLabel* label, const QPoint& design);
  void ApplyDesignScale();

  // The selected band, first brought back onto the table when a switch to a
  // smaller table left it beyond the last band.
  int SelectedBand();
  void ShowBandColor(TColor color);

  TColorBar& FBar;
  bool FPlaced = false;
  std::vector<Placed> FDesign;
};

} // namespace duv
