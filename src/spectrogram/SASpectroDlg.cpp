// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/SASpectroDlg.h"

#include "controls/Realspin.h"
#include "controls/intspin.h"
#include "spectrogram/Colorbar.h"
#include "support/UiSupport.h"

#include <QColorDialog>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <climits>

namespace duv {

namespace {
// The 20 x 20 pictures of the four command buttons.
QIcon ButtonPicture(int kind)
{
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  switch (kind) {
  case 0: // reset colours: a few bands of the table
    for (int i = 0; i < 5; ++i)
      p.fillRect(2, 2 + 3 * i, 16, 3, QColor::fromHsv(i * 60, 255, 255));
    break;
  case 1: // reset spacing: evenly spaced edges
    for (int i = 0; i < 5; ++i)
      p.fillRect(2, 2 + 4 * i, 16, 1, Qt::black);
    break;
  case 2: { // colour gradient: red to blue
    QLinearGradient g(0, 2, 0, 18);
    g.setColorAt(0, Qt::red);
    g.setColorAt(1, Qt::blue);
    p.fillRect(2, 2, 16, 16, g);
    break;
  }
  default: // hue gradient: round the colour circle
    for (int y = 0; y < 16; ++y)
      p.fillRect(2, 2 + y, 16, 1, QColor::fromHsv(y * 15, 255, 255));
    break;
  }
  p.setPen(Qt::black);
  p.drawRect(1, 1, 17, 17);
  return QIcon(pixmap);
}

QPushButton* MakeButton(QWidget* parent, const QString& caption)
{
  auto* button = new QPushButton(caption, parent);
  // Enter in a spin must not press a button behind the user's back.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}
} // namespace

TSpectroDlg::TSpectroDlg(TColorBar& bar, QWidget* parent) : QDialog(parent), FBar(bar)
{
  setWindowTitle("Spectrogram Settings");
  FitTitleWidth(*this);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(false);

  auto* group = new QGroupBox("Adjust Band", this);
  Place(group, {6, 8, 124, 169});
  PlaceLabel(new QLabel("Band", group), {13, 19});
  DepthBandSpin = new TIntegerSpin(group);
  DepthBandSpin->setAccessibleName("Band");
  Place(DepthBandSpin, {11, 33, 62, 21});
  DepthBandSpin->SetAlignment(taLeftJustify);
  DepthBandSpin->SetUseLimit(true);
  DepthBandSpin->SetIncrement(1);
  DepthBandSpin->SetMaxValue(23);
  DepthBandSpin->SetMinValue(1);
  DepthBandSpin->SetValue(1);

  DisDepthColor = new QFrame(group);
  DisDepthColor->setAccessibleName("Band color");
  Place(DisDepthColor, {83, 25, 30, 29});
  DisDepthColor->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  DisDepthColor->setAutoFillBackground(true);

  GetDepthColor = MakeButton(group, "Change Color");
  Place(GetDepthColor, {9, 64, 104, 22});
  PlaceLabel(new QLabel("Top", group), {11, 88});
  DepthTopSpin = new TRealSpin(group);
  DepthTopSpin->setAccessibleName("Top");
  Place(DepthTopSpin, {9, 103, 104, 21});
  DepthTopSpin->SetAlignment(taLeftJustify);
  DepthTopSpin->SetUnitsString("dB");
  DepthTopSpin->SetIncrement(1.0);
  PlaceLabel(new QLabel("Bottom", group), {11, 128});
  DepthBottomSpin = new TRealSpin(group);
  DepthBottomSpin->setAccessibleName("Bottom");
  Place(DepthBottomSpin, {9, 140, 104, 21});
  DepthBottomSpin->SetAlignment(taLeftJustify);
  DepthBottomSpin->SetUnitsString("dB");
  DepthBottomSpin->SetIncrement(1.0);

  ResetDepthColorBtn = MakeButton(this, "Reset Colors");
  Place(ResetDepthColorBtn, {141, 11, 116, 27});
  ResetDepthSpaceBtn = MakeButton(this, "Reset Spacing");
  Place(ResetDepthSpaceBtn, {141, 43, 116, 27});
  DepthGradientBtn = MakeButton(this, "Color Gradient");
  Place(DepthGradientBtn, {141, 75, 116, 27});
  HueBtn = MakeButton(this, "Hue Gradient");
  Place(HueBtn, {141, 107, 116, 27});
  int kind = 0;
  for (QPushButton* b : {ResetDepthColorBtn, ResetDepthSpaceBtn, DepthGradientBtn, HueBtn})
    b->setIcon(ButtonPicture(kind++));
  CancelBtn = MakeButton(this, "Close");
  Place(CancelBtn, {143, 148, 114, 25});
  ApplyDesignScale();

  setTabOrder(CancelBtn, GetDepthColor);
  setTabOrder(GetDepthColor, DepthBandSpin);
  setTabOrder(DepthBandSpin, DepthTopSpin);
  setTabOrder(DepthTopSpin, DepthBottomSpin);
  setTabOrder(DepthBottomSpin, ResetDepthColorBtn);
  setTabOrder(ResetDepthColorBtn, DepthGradientBtn);
  setTabOrder(DepthGradientBtn, HueBtn);
  setTabOrder(HueBtn, ResetDepthSpaceBtn);

  PickColor = [this](TColor initial) -> std::optional<TColor> {
    const QColor c = QColorDialog::getColor(ToQColor(initial), this);
    if (!c.isValid())
      return std::nullopt;
    return FromQColor(c);
  };

  connect(DepthBandSpin, &TCustomSpin::OnChange, this, &TSpectroDlg::DepthBandSpinChange);
  connect(GetDepthColor, &QPushButton::clicked, this, &TSpectroDlg::GetDepthColorClick);
  connect(DepthTopSpin, &TCustomSpin::OnChange, this, &TSpectroDlg::DepthTopSpinChange);
  connect(DepthBottomSpin, &TCustomSpin::OnChange, this, &TSpectroDlg::DepthBottomSpinChange);
  connect(ResetDepthColorBtn, &QPushButton::clicked, this, &TSpectroDlg::ResetDepthColorBtnClick);
  connect(ResetDepthSpaceBtn, &QPushButton::clicked, this, &TSpectroDlg::ResetDepthSpaceBtnClick);
  connect(DepthGradientBtn, &QPushButton::clicked, this, &TSpectroDlg::DepthGradientBtnClick);
  connect(HueBtn, &QPushButton::clicked, this, &TSpectroDlg::HueBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TSpectroDlg::CancelBtnClick);
}

void TSpectroDlg::Place(QWidget* w, const QRect& design)
{
  FDesign.push_back({w, design, false});
}

void TSpectroDlg::PlaceLabel(QLabel* label, const QPoint& design)
{
  FDesign.push_back({label, QRect(design, QSize()), true});
}

void TSpectroDlg::ApplyDesignScale()
{
  const double s = DesignScale(font());
  const auto px = [s](int v) { return DesignPixels(v, s); };
  setFixedSize(px(262), px(186));
  for (const Placed& p : FDesign) {
    const QRect& r = p.Design;
    if (p.Label) {
      p.Widget->move(px(r.x()), px(r.y()));
      p.Widget->adjustSize();
    } else {
      p.Widget->setGeometry(px(r.x()), px(r.y()), px(r.width()), px(r.height()));
    }
  }
  for (QPushButton* b : {ResetDepthColorBtn, ResetDepthSpaceBtn, DepthGradientBtn, HueBtn})
    b->setIconSize(QSize(px(20), px(20)));
}

void TSpectroDlg::changeEvent(QEvent* e)
{
  QDialog::changeEvent(e);
  if (e->type() == QEvent::FontChange && CancelBtn)
    ApplyDesignScale();
}

void TSpectroDlg::ShowSettingsDialog()
{
  DepthBandSpin->SetMaxValue(FBar.EdgeCount() - 1);
  UpdateFromSelection();
  if (!FPlaced) {
    // Centred on the screen the first time; afterwards where the user left it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
    FPlaced = true;
  }
  show();
  raise();
  activateWindow();
}

int TSpectroDlg::SelectedBand()
{
  const int last = FBar.EdgeCount() - 1;
  if (FBar.Selected() > last)
    FBar.SetSelected(last);
  return FBar.Selected();
}

void TSpectroDlg::ShowBandColor(TColor color)
{
  QPalette palette = DisDepthColor->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  DisDepthColor->setPalette(palette);
}

void TSpectroDlg::UpdateFromSelection()
{
  const int k = SelectedBand();
  if (k <= 0)
    return;
  // The band limit follows the loaded table here too: a limit left from an
  // earlier table would clamp the band number shown, and the band spin's
  // change handler would then select that wrong band.
  DepthBandSpin->SetMaxValue(FBar.EdgeCount() - 1);
  // Each value written may change a spin's text, whose change handler then
  // moves the edge to the rounded value shown.
  DepthBandSpin->SetValue(k);
  ShowBandColor(FBar.Edge(k).Color);
  DepthTopSpin->SetValue(RoundToDecimals(1, FBar.Edge(k - 1).Value));
  DepthBottomSpin->SetValue(RoundToDecimals(1, FBar.Edge(k).Value));
}

void TSpectroDlg::DepthBandSpinChange()
{
  const std::int64_t v = DepthBandSpin->Value();
  FBar.SetSelected(int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)));
}

void TSpectroDlg::GetDepthColorClick()
{
  const int k = SelectedBand();
  if (!FBar.Bands().IsEdge(k) || !PickColor)
    return;
  const std::optional<TColor> chosen = PickColor(FBar.Edge(k).Color);
  if (!chosen)
    return;
  FBar.SetEdgeColor(k, *chosen);
  FBar.repaint();
  UpdateFromSelection();
}

// The band is fixed first: bringing a stale selection back refreshes the
// spins, and the edge then takes the value they show.
void TSpectroDlg::DepthTopSpinChange()
{
  const int k = SelectedBand();
  FBar.SetEdgeValue(k - 1, DepthTopSpin->Value());
}

void TSpectroDlg::DepthBottomSpinChange()
{
  const int k = SelectedBand();
  FBar.SetEdgeValue(k, DepthBottomSpin->Value());
}

void TSpectroDlg::ResetDepthColorBtnClick()
{
  FBar.LoadColorTable();
  UpdateFromSelection();
}

void TSpectroDlg::ResetDepthSpaceBtnClick()
{
  FBar.ResetSpacing();
}

void TSpectroDlg::DepthGradientBtnClick()
{
  FBar.ColorGradient(0, FBar.EdgeCount());
  UpdateFromSelection();
}

void TSpectroDlg::HueBtnClick()
{
  FBar.HueGradient(0, FBar.EdgeCount());
  UpdateFromSelection();
}

void TSpectroDlg::CancelBtnClick()
{
  hide();
}

} // namespace duv
