# Sources of src/synth, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES synth/SynthWave.cpp)
