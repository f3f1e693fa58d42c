# Sources of src/app, relative to src/.
list(APPEND DUVOVOVI_APP_SOURCES app/main.cpp app/CommandLine.cpp)
