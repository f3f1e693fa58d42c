// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/SAGraphs.h"
#include "graph/GraphTestSupport.h"
#include "graph/Graphbox.h"

#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <stdexcept>

using namespace duv;
using namespace duv::test;

namespace {
struct Views
{
  TGraphBox Left;
  TGraphBox Right;
  TGraphBox Spectrum;
  TSAGraphs Graphs{TGraphViews{Left, Right, Spectrum}};
  Views()
  {
    SetupWindowLeftGraph(Left);
    SetupWindowLeftGraph(Right);
    SetupWindowSpectrumGraph(Spectrum);
  }
};
} // namespace

// Guards zoom and pan through the axis setters, with the worked values.
TEST(SAGraphs, ZoomAndPanAxes)
{
  TGraphBox g;
  g.SetXRange(4, 0, 2047);
  const int before = g.RepaintRequests();
  ZoomAxis(g, false, 0.9);
  EXPECT_NEAR(g.XAxis().Min(), 102.35, 1e-9);
  EXPECT_NEAR(g.XAxis().Max(), 1944.65, 1e-9);
  EXPECT_GT(g.RepaintRequests(), before); // the setters repaint by themselves
  ZoomAxis(g, false, 1.1);
  EXPECT_NEAR(g.XAxis().Min(), 10.235, 1e-9);
  EXPECT_NEAR(g.XAxis().Max(), 2036.765, 1e-9);

  g.SetXRange(4, 0, 512);
  PanAxis(g, false, 0.1);
  EXPECT_NEAR(g.XAxis().Min(), 51.2, 1e-9);
  EXPECT_NEAR(g.XAxis().Max(), 563.2, 1e-9);
  PanAxis(g, false, -0.1);
  EXPECT_NEAR(g.XAxis().Min(), 0, 1e-9);
  EXPECT_NEAR(g.XAxis().Max(), 512, 1e-9);
  EXPECT_EQ(g.YAxis().Max(), 75); // the other axis is untouched

  // Zooming out a logarithmic axis: the negative end becomes 1.
  g.XAxis().SetLog(true);
  g.XAxis().SetMin(1);
  g.XAxis().SetMax(100);
  ZoomAxis(g, false, 1.1);
  EXPECT_EQ(g.XAxis().Min(), 1.0);
  EXPECT_NEAR(g.XAxis().Max(), 104.95, 1e-9);

  g.YAxis().SetMin(5);
  g.YAxis().SetMax(5);
  ZoomAxis(g, true, 0.9);
  PanAxis(g, true, 0.1);
  EXPECT_EQ(g.YAxis().Min(), 5);
  EXPECT_EQ(g.YAxis().Max(), 5);
}

// Guards the saved defaults: reset returns to the last capture whatever zooming
// happened, and the oscilloscope commands move both channel graphs.
TEST(SAGraphs, ResetReturnsToCapturedRanges)
{
  Views v;
  EXPECT_EQ(v.Graphs.RawDefaults.YRange.Max, 256);
  EXPECT_EQ(v.Graphs.RawDefaults.XRange.Max, 0);
  EXPECT_EQ(v.Graphs.SpectrumDefaults.XRange.Max, 0);

  v.Left.YAxis().SetMin(-32768);
  v.Left.YAxis().SetMax(32768);
  v.Graphs.CaptureDefaultRanges();
  EXPECT_EQ(v.Graphs.RawDefaults.YRange.Min, -32768);
  EXPECT_EQ(v.Graphs.SpectrumDefaults.YRange.Min, -60);
  EXPECT_EQ(v.Graphs.SpectrumDefaults.XRange.Max, 512);

  v.Graphs.ZoomRaw(true, 0.9);
  v.Graphs.PanRaw(true, 0.1);
  EXPECT_NE(v.Left.YAxis().Min(), -32768);
  EXPECT_NEAR(v.Right.YAxis().Max(), 256 * 0.95 + 0.1 * 256 * 0.9, 1e-9);
  v.Graphs.ResetRaw(false);
  EXPECT_EQ(v.Left.YAxis().Min(), -32768);
  EXPECT_EQ(v.Right.YAxis().Min(), -32768); // both get the ranges saved from LeftGraph
  EXPECT_EQ(v.Right.YAxis().Max(), 32768);

  v.Graphs.ZoomRaw(false, 0.9);
  v.Graphs.ResetRaw(true); // the flag selects the X axis
  EXPECT_EQ(v.Left.XAxis().Min(), 0);
  EXPECT_EQ(v.Left.XAxis().Max(), 512);
  EXPECT_EQ(v.Left.YAxis().Min(), -32768);

  v.Graphs.SetSpectrumLog(true);
  v.Spectrum.XAxis().SetMin(21.5);
  v.Spectrum.XAxis().SetMax(22050);
  v.Graphs.ZoomSpectrum(false, 0.9);
  EXPECT_NEAR(v.Spectrum.XAxis().Min(), 1122.925, 1e-9);
  EXPECT_NEAR(v.Spectrum.XAxis().Max(), 20948.575, 1e-9);
  v.Graphs.ResetSpectrum(true);
  EXPECT_EQ(v.Spectrum.XAxis().Min(), 1);
  EXPECT_EQ(v.Spectrum.XAxis().Max(), 512);
}

// Guards the print command: the page is drawn white and black, and the screen
// colours come back afterwards, also when the printer fails.
TEST(SAGraphs, PrintSpectrumRestoresScreenColours)
{
  Views v;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("spectrum.pdf"));
  TColor printedColor = 1;
  TColor printedGrid = 1;
  TColor printedFont = 1;
  v.Spectrum.OnPaint = [&](TGraphBox* g) {
    printedColor = g->Color();
    printedGrid = g->GridColor();
    printedFont = g->FontColor();
  };
  EXPECT_NO_THROW(v.Graphs.PrintSpectrum(&printer));
  EXPECT_EQ(printedColor, clWhite);
  EXPECT_EQ(printedGrid, clBlack);
  EXPECT_EQ(printedFont, clBlack);
  EXPECT_EQ(v.Spectrum.Color(), clBlack);
  EXPECT_EQ(v.Spectrum.GridColor(), MakeColor(0, 128, 0));
  EXPECT_EQ(v.Spectrum.FontColor(), clLime);

  QPrinter broken(QPrinter::HighResolution);
  broken.setOutputFormat(QPrinter::PdfFormat);
  broken.setOutputFileName(dir.filePath("no such folder/spectrum.pdf"));
  EXPECT_THROW(v.Graphs.PrintSpectrum(&broken), std::runtime_error);
  EXPECT_EQ(v.Spectrum.Color(), clBlack);
  EXPECT_EQ(v.Spectrum.GridColor(), MakeColor(0, 128, 0));
  EXPECT_EQ(v.Spectrum.FontColor(), clLime);
}
