# Sources of src/graph, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES graph/AxisMath.cpp)
list(APPEND DUVOVOVI_UI_SOURCES graph/Graphbox.cpp graph/SAGraphs.cpp)
