# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/analysis, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES
  analysis/Fourier.cpp
  analysis/RealFourier.cpp
  analysis/SAGlobal.cpp
  analysis/SpectrumMath.cpp
  analysis/WindowFunctions.cpp
  analysis/SpectrumPeaks.cpp
  analysis/TraceHold.cpp
  analysis/Weighting.cpp
  analysis/OctaveBands.cpp
  analysis/Calibration.cpp
  analysis/Distortion.cpp)
# Their results are held to the bit: code built for processors with fused
# multiply-add must not fuse where the source does not say so.
set_source_files_properties(analysis/Fourier.cpp PROPERTIES COMPILE_OPTIONS -ffp-contract=off)
# The transform of real samples promises no bits, only accuracy: it fuses
# multiply-adds where it can. Its vectors never cross a function boundary
# but the inlined ones, so the ABI note on them is moot.
set_source_files_properties(analysis/RealFourier.cpp
  PROPERTIES COMPILE_OPTIONS "-ffp-contract=fast;-Wno-psabi")
# Without errno or floating-point traps to keep, the per-bin loops run
# several bins at once.
set_source_files_properties(analysis/SpectrumMath.cpp
  PROPERTIES COMPILE_OPTIONS "-ffp-contract=off;-fno-math-errno;-fno-trapping-math")
