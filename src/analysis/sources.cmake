# Sources of src/analysis, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES analysis/Fourier.cpp analysis/SAGlobal.cpp)
list(APPEND DUVOVOVI_UI_SOURCES analysis/SAGlobalView.cpp analysis/SARealTime.cpp)
