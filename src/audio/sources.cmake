# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/audio, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES)
list(APPEND DUVOVOVI_UI_SOURCES audio/Waveread.cpp audio/WaveLib.cpp audio/InputChooser.cpp
     audio/DefaultInput.cpp)
