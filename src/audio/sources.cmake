# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/audio, relative to src/.
# The capture history is pure: it keeps samples, not devices.
list(APPEND DUVOVOVI_CORE_SOURCES audio/CaptureHistory.cpp)
list(APPEND DUVOVOVI_UI_SOURCES audio/Waveread.cpp audio/WaveLib.cpp audio/InputChooser.cpp
     audio/DefaultInput.cpp)
