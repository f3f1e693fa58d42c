# SPDX-License-Identifier: GPL-3.0-or-later
# duvovovi_add_test(NAME SOURCES src... [GUI] [AUDIO] [LIBS lib...] [TIMEOUT seconds])
#   Builds one GoogleTest executable and registers its cases with ctest.
#   GUI   : links the widget layer and runs under Qt's offscreen platform with
#           one QApplication made by tests/common/gui_main.cpp.
#   AUDIO : needs the private sound server of scripts/audio-rig (label "audio";
#           the cases skip with a message when no server is reachable; they
#           share the resource lock audio_rig, so they never run at once).
#   TIMEOUT: a limit of its own for each case, for cases whose fault is a hang.
include(GoogleTest)
function(duvovovi_add_test NAME)
  cmake_parse_arguments(T "GUI;AUDIO" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${NAME} ${T_SOURCES})
  target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(T_GUI OR T_AUDIO)
    target_sources(${NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common/gui_main.cpp)
    target_link_libraries(${NAME} PRIVATE duvovovi_ui Qt6::Test GTest::gtest GTest::gmock ${T_LIBS})
  else()
    target_link_libraries(${NAME} PRIVATE duvovovi_core GTest::gtest GTest::gmock GTest::gtest_main ${T_LIBS})
  endif()
  # One value per property: the discovery script of this CMake splits list
  # values into separate arguments however they are escaped.
  set(props)
  if(T_AUDIO)
    # One rig for all: tests that write its FIFO microphone or play into its
    # sink must not overlap.
    list(APPEND props ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS audio RESOURCE_LOCK audio_rig)
  elseif(T_GUI)
    list(APPEND props ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS gui)
  else()
    list(APPEND props LABELS core)
  endif()
  if(T_TIMEOUT)
    list(APPEND props TIMEOUT ${T_TIMEOUT})
  endif()
  gtest_discover_tests(${NAME}
    PROPERTIES ${props}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST)
endfunction()
