# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/app, relative to src/. main.cpp alone makes the executable
# and GuiMain.cpp the GUI part; the rest are libraries the tests link too:
# the headless commands and the start-up on Qt Core alone, and the window,
# whose pages and views in pages/ each come with the module that acts for it.
list(APPEND DUVOVOVI_CLI_SOURCES
  app/CommandLine.cpp
  app/MeasureCommands.cpp
  app/StartUp.cpp)
list(APPEND DUVOVOVI_APP_SOURCES
  app/Application.cpp
  app/SAAbout.cpp
  app/RecordCommand.cpp
  app/StopSignals.cpp
  app/SAMain.cpp
  app/ViewSettings.cpp
  app/pages/BandsPage.cpp
  app/pages/BandsView.cpp
  app/pages/CalibrationDialog.cpp
  app/pages/GraphPage.cpp
  app/pages/LoopbackDialog.cpp
  app/pages/MeasurePanel.cpp
  app/pages/MeasureState.cpp
  app/pages/Measurement.cpp
  app/pages/PageSupport.cpp
  app/pages/RealTimePage.cpp
  app/pages/SAGlobalView.cpp
  app/pages/SAGraphs.cpp
  app/pages/SARealTime.cpp
  app/pages/SASynthesizer.cpp
  app/pages/SAWaveFile.cpp
  app/pages/ScopeBand.cpp
  app/pages/SpectrogramPage.cpp
  app/pages/SynthesizePage.cpp
  app/pages/WaveFilePage.cpp
  app/pages/WholeFilePage.cpp)
