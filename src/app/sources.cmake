# Sources of src/app, relative to src/. main.cpp alone makes the executable
# and GuiMain.cpp the GUI part; the rest are libraries the tests link too:
# the headless commands and the start-up on Qt Core alone, and the window.
list(APPEND DUVOVOVI_CLI_SOURCES
  app/CommandLine.cpp
  app/StartUp.cpp)
list(APPEND DUVOVOVI_APP_SOURCES
  app/Application.cpp
  app/SAAbout.cpp
  app/SAMain.cpp)
