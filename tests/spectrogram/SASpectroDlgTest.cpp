// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/SASpectroDlg.h"

#include "controls/Realspin.h"
#include "controls/intspin.h"
#include "spectrogram/Spectrogram.h"
#include "support/UiSupport.h"

#include <QFrame>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

using namespace duv;

namespace {
// A spectrogram on -96 .. 0 dB with the dialog wired to it as the main
// window wires it: a band selected on the bar refreshes the dialog.
struct DlgFixture
{
  TSpectroGram spectro;
  TColorBar& bar;
  TSpectroDlg dlg;
  explicit DlgFixture(TColorDepth depth) : bar(*spectro.DepthBar()), dlg(bar)
  {
    spectro.SetColorCount(depth);
    spectro.resize(520, 330);
    spectro.LayoutDepthBar();
    spectro.SetDepthRange({-96, 0});
    QObject::connect(&spectro, &TSpectroGram::OnBarSelect,
                     [this](QObject*) { dlg.UpdateFromSelection(); });
  }
  void ClickBand(int k)
  {
    const QPoint p(8, (bar.EdgeY(k - 1) + bar.EdgeY(k)) / 2);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, p);
  }
};
} // namespace

// Guards the window itself: caption, size, band limit from the loaded table,
// and Close / Esc only hiding it.
TEST(SpectroDlg, ShowsAndHides)
{
  DlgFixture f(TColorDepth::dcTemp32);
  EXPECT_EQ(f.dlg.windowTitle(), "Spectrogram Settings");
  EXPECT_EQ(f.dlg.size(), QSize(262, 186));
  f.dlg.ShowSettingsDialog();
  EXPECT_TRUE(f.dlg.isVisible());
  EXPECT_FALSE(f.dlg.isModal());
  EXPECT_EQ(f.dlg.DepthBandSpin->MaxValue(), 32);
  f.dlg.CancelBtn->click();
  EXPECT_FALSE(f.dlg.isVisible());
  f.spectro.SetColorCount(TColorDepth::dc30);
  f.dlg.ShowSettingsDialog();
  EXPECT_EQ(f.dlg.DepthBandSpin->MaxValue(), 29);
  QTest::keyClick(&f.dlg, Qt::Key_Escape);
  EXPECT_FALSE(f.dlg.isVisible());
}

// Guards the refresh: shown values rounded to tenths, and edges snapped to
// them only where the shown value differs from the stored one.
TEST(SpectroDlg, RefreshSnapsEdgesToTenths)
{
  DlgFixture even(TColorDepth::dcTemp32);
  even.ClickBand(5);
  EXPECT_EQ(even.dlg.DepthBandSpin->Value(), 5);
  EXPECT_DOUBLE_EQ(even.dlg.DepthTopSpin->Value(), -12);
  EXPECT_DOUBLE_EQ(even.dlg.DepthBottomSpin->Value(), -15);
  EXPECT_EQ(even.bar.Edge(4).Position, 12500);
  EXPECT_EQ(even.bar.Edge(5).Position, 15625);

  DlgFixture f(TColorDepth::dc12);
  f.dlg.ShowSettingsDialog();
  EXPECT_DOUBLE_EQ(f.dlg.DepthTopSpin->Value(), 0);
  EXPECT_DOUBLE_EQ(f.dlg.DepthBottomSpin->Value(), -8);
  EXPECT_EQ(f.bar.Edge(1).Position, 8333);
  f.dlg.DepthBandSpin->SetValue(2); // selects through the band spin
  EXPECT_EQ(f.bar.Selected(), 2);
  EXPECT_DOUBLE_EQ(f.dlg.DepthBottomSpin->Value(), -16);
  EXPECT_EQ(f.bar.Edge(2).Position, 16667);
  EXPECT_EQ(f.dlg.DisDepthColor->palette().color(QPalette::Window), QColor(255, 0, 0));

  // Typing a value moves the band's edge, pushing its neighbour.
  f.dlg.DepthBottomSpin->selectAll();
  QTest::keyClicks(f.dlg.DepthBottomSpin, "-30");
  EXPECT_EQ(f.bar.Edge(2).Position, 31250);
  EXPECT_GT(f.bar.Edge(3).Position, 31250);

  // Reset Spacing leaves the shown values until the next selection.
  f.dlg.ResetDepthSpaceBtn->click();
  EXPECT_EQ(f.bar.Edge(2).Position, 16666);
  EXPECT_DOUBLE_EQ(f.dlg.DepthBottomSpin->Value(), -30);
  f.ClickBand(3);
  EXPECT_DOUBLE_EQ(f.dlg.DepthTopSpin->Value(), -16);
  EXPECT_DOUBLE_EQ(f.dlg.DepthBottomSpin->Value(), -24);
}

// Guards the colour commands: picker cancel and confirm, reset colours and
// the RGB gradient over the whole bar.
TEST(SpectroDlg, ColourCommands)
{
  DlgFixture f(TColorDepth::dc12);
  f.ClickBand(4);
  const TColor before = f.bar.Edge(4).Color;
  TColor offered = 0;
  f.dlg.PickColor = [&](TColor initial) -> std::optional<TColor> {
    offered = initial;
    return std::nullopt;
  };
  f.dlg.GetDepthColor->click();
  EXPECT_EQ(offered, before);
  EXPECT_EQ(f.bar.Edge(4).Color, before);
  f.dlg.PickColor = [](TColor) -> std::optional<TColor> { return MakeColor(1, 2, 3); };
  f.dlg.GetDepthColor->click();
  EXPECT_EQ(f.bar.Edge(4).Color, MakeColor(1, 2, 3));
  EXPECT_EQ(f.dlg.DisDepthColor->palette().color(QPalette::Window), QColor(1, 2, 3));
  f.dlg.ResetDepthColorBtn->click();
  EXPECT_EQ(f.bar.Edge(4).Color, before);

  f.bar.SetEdgeColor(1, MakeColor(255, 0, 0));
  f.bar.SetEdgeColor(12, MakeColor(0, 0, 255));
  f.dlg.DepthGradientBtn->click(); // steps of 1/12 over bands 1 .. 12
  EXPECT_EQ(f.bar.Edge(2).Color, MakeColor(234, 0, 21));
  EXPECT_EQ(f.bar.Edge(12).Color, MakeColor(0, 0, 255));
  f.dlg.HueBtn->click();
  EXPECT_EQ(f.bar.Edge(1).Color, MakeColor(255, 0, 0));
  EXPECT_EQ(f.bar.Edge(2).Color, HSVToColor(240.0L / 11, 1, 1));
}

// Guards a selection left beyond the last band by a switch to a smaller
// table: the dialog brings it back before reading or moving anything. Also
// guards the band limit, which must not pull a click on band 30 to band 23
// before the dialog was ever shown.
TEST(SpectroDlg, SelectionBeyondSmallerTable)
{
  DlgFixture f(TColorDepth::dcTemp32);
  f.ClickBand(30);
  ASSERT_EQ(f.bar.Selected(), 30);
  EXPECT_EQ(f.dlg.DepthBandSpin->Value(), 30);
  f.spectro.SetColorCount(TColorDepth::dc12);
  EXPECT_EQ(f.bar.Selected(), 30);
  // A handler running on the stale selection first moves it to the last
  // band, and the refresh that follows shows that band.
  f.dlg.DepthTopSpin->SetValue(-50);
  EXPECT_EQ(f.bar.Selected(), 12);
  EXPECT_EQ(f.dlg.DepthBandSpin->Value(), 12);
  EXPECT_DOUBLE_EQ(f.dlg.DepthTopSpin->Value(), -88);
  EXPECT_DOUBLE_EQ(f.dlg.DepthBottomSpin->Value(), -96);
  EXPECT_EQ(f.bar.Edge(11).Position, 91667); // snapped to -88.0
  EXPECT_EQ(f.bar.Edge(12).Position, 100000);
  f.dlg.DepthBandSpin->SetValue(40); // beyond the table: held to 12
  EXPECT_EQ(f.bar.Selected(), 12);
}
