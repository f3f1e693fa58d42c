# SPDX-License-Identifier: GPL-3.0-or-later
# Sources of src/graph, relative to src/.
list(APPEND DUVOVOVI_CORE_SOURCES graph/AxisMath.cpp graph/AxisParams.cpp graph/PointStore.cpp
     graph/RoundTicks.cpp)
list(APPEND DUVOVOVI_UI_SOURCES graph/GraphCanvas.cpp graph/CustomGraph.cpp graph/Graphbox.cpp graph/GraphLooks.cpp
     graph/ViewNavigator.cpp)
