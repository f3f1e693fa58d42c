# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/spectrogram, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES
  spectrogram/DepthColors.cpp
  spectrogram/ColorMath.cpp
  spectrogram/ColorBands.cpp
  spectrogram/LevelPainter.cpp)
list(APPEND DUVOVOVI_UI_SOURCES
  spectrogram/Colorbar.cpp
  spectrogram/Spectrogram.cpp
  spectrogram/SpectroAxes.cpp
  spectrogram/SASpectroDlg.cpp
  spectrogram/SpectrogramPicture.cpp
  spectrogram/FileSpectroView.cpp
  spectrogram/FileSpectroAxes.cpp)
