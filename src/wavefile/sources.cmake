# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/wavefile, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES wavefile/WaveFileParser.cpp wavefile/WaveStretch.cpp
  wavefile/FileAnalysis.cpp wavefile/FileSpectrogram.cpp wavefile/SoundDecoder.cpp
  wavefile/LevelTiles.cpp wavefile/LevelCache.cpp wavefile/FileSummary.cpp)
