# Sources of src/analysis, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES)
list(APPEND DUVOVOVI_UI_SOURCES)
