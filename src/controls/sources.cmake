# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/controls, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES
  controls/SpinValues.cpp
  controls/RecentFiles.cpp
  controls/HelpCommands.cpp)
list(APPEND DUVOVOVI_UI_SOURCES
  controls/Autobttn.cpp
  controls/ButtonAccess.cpp
  controls/SpinButtons.cpp
  controls/Realspin.cpp
  controls/intspin.cpp
  controls/Reopen.cpp
  controls/ChmHelper.cpp
  controls/CheckBoxExt.cpp
  controls/CheckedGroup.cpp
  controls/DropController.cpp
  controls/ReadOut.cpp
  controls/RadioGroup.cpp
  controls/SpeedButton.cpp
  ../help/help.qrc)
