# Sources of src/app, relative to src/. main.cpp alone makes the executable;
# the rest is a library the tests link too.
list(APPEND DUVOVOVI_APP_SOURCES
  app/Application.cpp
  app/CommandLine.cpp
  app/SAAbout.cpp
  app/SAMain.cpp)
