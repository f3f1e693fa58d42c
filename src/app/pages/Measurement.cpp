// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pages/Measurement.h"

#include "app/pages/BandsPage.h"
#include "app/pages/CalibrationDialog.h"
#include "app/pages/LoopbackDialog.h"
#include "app/pages/MeasurePanel.h"
#include "app/pages/MeasureState.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/SAGraphs.h"
#include "graph/Graphbox.h"

#include <QBoxLayout>
#include <QTabWidget>

namespace duv {

TMeasurement::TMeasurement(const TMeasureViews& Views, const QString& IniPath, QWidget* Window)
    : QObject(Window), FViews(Views)
{
  FState = new TMeasureState(this);
  FState->SetIniPath(IniPath);
  Views.Spectrum.SetCorrector(&FState->Corrector());

  FBandsPage = new TBandsPage(Views.Spectrum, *FState);
  FBandsPage->setProperty("HelpContext", 55);
  Views.ViewPages.addTab(FBandsPage, QStringLiteral("Bands"));
  FPanel = new TMeasurePanel(Views.Spectrum, *FState, &Views.GraphPage);
  // Under everything else on the Graph page, so that its controls keep
  // their places.
  if (auto* page = qobject_cast<QBoxLayout*>(Views.GraphPage.layout()))
    page->addWidget(FPanel);
  FCalibration = new TCalibrationDialog(*FState, Views.Spectrum, Window);
  FLoopback = new TLoopbackDialog(Window);
  // F1 in either window opens the page that explains it.
  FCalibration->setProperty("HelpContext", 55);
  FLoopback->setProperty("HelpContext", 55);

  connect(FState, &TMeasureState::OnChange, this, &TMeasurement::StateChange);
  FState->LoadSettings();
}

void TMeasurement::StateChange()
{
  const TLevelCorrection& c = FState->Correction();
  FViews.Spectrum.CorrectionChanged();
  // The level axis says its unit once the levels are no longer plain dB
  // against full scale, on its labels, or at its end with round ticks. (Its
  // reset range moves with the levels there.)
  FViews.SpectrumGraph.YAxis().SetUnits(c.IsIdentity() ? QString() : QLatin1Char(' ') + c.Unit());
  FViews.SpectrumGraph.YAxis().SetAxisUnit(c.Unit());
}

void TMeasurement::ShowCalibration()
{
  FCalibration->show();
  FCalibration->raise();
  FCalibration->activateWindow();
}

void TMeasurement::ShowLoopbackTest()
{
  FLoopback->show();
  FLoopback->raise();
  FLoopback->activateWindow();
}

} // namespace duv
