// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for widget and audio tests: one QApplication on the offscreen
// platform (unless the environment asks for another) for the whole run, in a
// font with the design metrics, so designed geometry is tested unscaled.
#include "common/DesignFont.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setFont(duv::test::DesignFont());
  // Settings and recent files go to a test folder, never the user's own.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // On the audio rig the results are in once the tests ran: Qt 6.4's sound
  // backend tears its PulseAudio main loop down at the process's end and
  // now and then crashes there (a segfault in libpulse's thread), which
  // would fail a test that passed. Leak checks run without the rig.
  if (qEnvironmentVariableIsSet("DUVOVOVI_RIG_SERVER")) {
    std::fflush(nullptr);
    std::_Exit(result);
  }
  return result;
}
