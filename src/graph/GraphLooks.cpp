// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/GraphLooks.h"

#include "graph/Graphbox.h"

namespace duv {

void SetupScopeGraph(TGraphBox& g, const QString& Title)
{
  g.SetBevelOuter(bvNone);
  g.SetColor(clWhite);
  g.SetGridColor(clBlack);
  g.SetGraphBorder(20);
  g.SetGraphType(gtLine);
  g.SetDefaultData(false);
  g.SetXRange(4, 0, 512);
  g.YAxis().SetLines(2);
  g.YAxis().SetMin(0);
  g.YAxis().SetMax(256);
  g.XAxis().SetShowLabels(true);
  g.YAxis().SetShowLabels(true);
  g.Title().SetCaption(Title);
  g.Title().SetShowCaption(true);
  g.Title().SetBoxed(true);
  g.Title().SetPosition(tpCenter);
  g.setAccessibleName(Title);
}

void SetupSpectrumGraph(TGraphBox& s)
{
  s.SetBevelOuter(bvLowered);
  s.SetColor(clBlack);
  s.SetGridColor(MakeColor(0, 128, 0));
  s.SetGraphBorder(25);
  s.SetFontColor(clLime);
  s.SetGraphType(gtLine);
  s.SetDefaultData(false);
  s.SetXRange(8, 1, 512);
  s.YAxis().SetLines(4);
  s.YAxis().SetMin(-60);
  s.YAxis().SetMax(20);
  s.XAxis().SetShowLabels(true);
  s.YAxis().SetShowLabels(true);
  s.Title().SetShowCaption(false);
  s.Title().SetBoxed(false);
  s.XAxis().SetAxisUnit(QStringLiteral("Hz"));
  s.YAxis().SetAxisUnit(QStringLiteral("dB"));
}

} // namespace duv
