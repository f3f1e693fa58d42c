# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/support, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES support/DSupport.cpp support/SafeFile.cpp
  support/IniSection.cpp support/ClockTime.cpp)
