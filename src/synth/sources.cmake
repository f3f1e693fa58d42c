# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/synth, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES synth/SynthWave.cpp synth/Loopback.cpp)
