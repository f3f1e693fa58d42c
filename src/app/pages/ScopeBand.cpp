// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/ScopeBand.h"

#include "app/pages/PageSupport.h"
#include "app/pages/SAGraphs.h"
#include "controls/ReadOut.h"
#include "controls/SpeedButton.h"
#include "graph/GraphLooks.h"
#include "graph/Graphbox.h"
#include "support/DSupport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

namespace duv {

TScopeBand::TScopeBand(QWidget* Parent) : QWidget(Parent)
{
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(2);

  auto* xRow = Row();
  LeftRawBtn = new TSpeedButton(TGlyph::Left, QStringLiteral("Move Left"), this);
  PanRightRawHBtn = new TSpeedButton(TGlyph::Right, QStringLiteral("Move Right"), this);
  ZoomInRawHBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), this);
  ZoomOutRawHBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), this);
  ResetRawHBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), this);
  // The hints stay short; a screen reader hears which axis a button moves.
  ZoomInRawHBtn->setAccessibleName(QStringLiteral("Zoom In Time"));
  ZoomOutRawHBtn->setAccessibleName(QStringLiteral("Zoom Out Time"));
  ResetRawHBtn->setAccessibleName(QStringLiteral("Reset Time"));
  for (QWidget* b : {LeftRawBtn, PanRightRawHBtn, ZoomInRawHBtn, ZoomOutRawHBtn, ResetRawHBtn})
    xRow->addWidget(b);
  xRow->addStretch(1);
  auto* pos = new TReadOutPanel(QStringLiteral(" Pos:"), this);
  PosXDis = pos->AddReadOut(7, QStringLiteral("X"));
  PosYDis = pos->AddReadOut(7, QStringLiteral("Y"));
  xRow->addWidget(pos);
  grid->addLayout(xRow, 0, 0);

  FGraphSplitter = new QSplitter(Qt::Vertical, this);
  FGraphSplitter->setHandleWidth(SplitterWidth);
  FGraphSplitter->setChildrenCollapsible(false);
  FLeftGraph = new TGraphBox(FGraphSplitter);
  FRightGraph = new TGraphBox(FGraphSplitter);
  FGraphSplitter->addWidget(FLeftGraph);
  FGraphSplitter->addWidget(FRightGraph);
  grid->addWidget(FGraphSplitter, 1, 0);

  auto* yColumn = new QVBoxLayout;
  yColumn->setSpacing(2);
  PanUpRawVBtn = new TSpeedButton(TGlyph::Up, QStringLiteral("Move Up"), this);
  ZoomInRawVBtn = new TSpeedButton(TGlyph::ZoomIn, QStringLiteral("Zoom In"), this);
  ResetRawVBtn = new TSpeedButton(TGlyph::Reset, QStringLiteral("Reset"), this);
  ZoomOutRawVBtn = new TSpeedButton(TGlyph::ZoomOut, QStringLiteral("Zoom Out"), this);
  PanDownRawVBtn = new TSpeedButton(TGlyph::Down, QStringLiteral("Move Down"), this);
  ZoomInRawVBtn->setAccessibleName(QStringLiteral("Zoom In Level"));
  ZoomOutRawVBtn->setAccessibleName(QStringLiteral("Zoom Out Level"));
  ResetRawVBtn->setAccessibleName(QStringLiteral("Reset Level"));
  for (QWidget* b : {PanUpRawVBtn, ZoomInRawVBtn, ResetRawVBtn, ZoomOutRawVBtn, PanDownRawVBtn})
    yColumn->addWidget(b);
  yColumn->addStretch(1);
  grid->addLayout(yColumn, 1, 1);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(0, 1);

  SetupScopeGraph(*FLeftGraph, QStringLiteral("Left Channel"));
  SetupScopeGraph(*FRightGraph, QStringLiteral("Right Channel"));
  for (TGraphBox* g : {FLeftGraph, FRightGraph}) {
    connect(g, &TCustomGraph::OnMouseMove, this,
            [this, g](TCustomGraph*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
              LeftGraphMouseMove(g, x, y);
            });
    connect(g, &TCustomGraph::OnMouseLeave, this, [this] { ClearPosition(); });
  }
  // The two channels show the same stretch: what the user does to one, the
  // other follows.
  const auto follow = [](TGraphBox& from, TGraphBox& to) {
    SetAxisRange(to.XAxis(), {from.XAxis().Min(), from.XAxis().Max()});
    SetAxisRange(to.YAxis(), {from.YAxis().Min(), from.YAxis().Max()});
  };
  connect(&FLeftGraph->Navigator(), &TViewNavigator::OnNavigate, this,
          [this, follow] { follow(*FLeftGraph, *FRightGraph); });
  connect(&FRightGraph->Navigator(), &TViewNavigator::OnNavigate, this,
          [this, follow] { follow(*FRightGraph, *FLeftGraph); });
}

void TScopeBand::BindViewCommands(TSAGraphs& Graphs)
{
  const auto on = [this](QAbstractButton* b, auto&& action) {
    connect(b, &QAbstractButton::clicked, this, std::forward<decltype(action)>(action));
  };
  TSAGraphs& g = Graphs;
  on(LeftRawBtn, [&g] { g.PanRaw(false, -0.1); });
  on(PanRightRawHBtn, [&g] { g.PanRaw(false, 0.1); });
  on(ZoomInRawHBtn, [&g] { g.ZoomRaw(false, 0.9); });
  on(ZoomOutRawHBtn, [&g] { g.ZoomRaw(false, 1.1); });
  on(ResetRawHBtn, [&g] { g.ResetRaw(true); });
  on(PanUpRawVBtn, [&g] { g.PanRaw(true, 0.1); });
  on(PanDownRawVBtn, [&g] { g.PanRaw(true, -0.1); });
  on(ZoomInRawVBtn, [&g] { g.ZoomRaw(true, 0.9); });
  on(ZoomOutRawVBtn, [&g] { g.ZoomRaw(true, 1.1); });
  on(ResetRawVBtn, [&g] { g.ResetRaw(false); });
  for (TGraphBox* graph : {FLeftGraph, FRightGraph})
    connect(graph, &TGraphBox::OnResetView, this, [&g] {
      g.ResetRaw(true);
      g.ResetRaw(false);
    });
}

QString TScopeBand::PositionText() const { return PosXDis->Text() + QLatin1Char(' ') + PosYDis->Text(); }

void TScopeBand::ClearPosition()
{
  PosXDis->SetText(QString());
  PosYDis->SetText(QString());
}

void TScopeBand::LeftGraphMouseMove(TGraphBox* Sender, int X, int Y)
{
  // Off the plot the mapping runs past the axes: nothing to read there.
  if (!Sender->PlotContains(X, Y)) {
    ClearPosition();
    return;
  }
  double x = 0, y = 0;
  Sender->PixelToValue(X, Y, x, y);
  PosXDis->SetText(FormatFixed(Round64(x), 0));
  PosYDis->SetText(FormatFixed(Round64(y), 0));
}

} // namespace duv
