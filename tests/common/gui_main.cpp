// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for widget and audio tests: one QApplication on the offscreen
// platform (unless the environment asks for another) for the whole run, in a
// font with the design metrics, so designed geometry is tested unscaled.
#include "common/DesignFont.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setFont(duv::test::DesignFont());
  // Settings and recent files go to a test folder, never the user's own.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
