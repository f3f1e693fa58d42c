// SPDX-License-Identifier: GPL-3.0-or-later
// The looks the window gives its graphs: the oscilloscope's white channel
// graphs and the black spectrum graph. The window and the tests that check
// the graphs' worked geometry set them up through these alone.
#pragma once

#include <QString>

namespace duv {

class TGraphBox;

// A channel graph of the oscilloscope band, titled Title.
void SetupScopeGraph(TGraphBox& Graph, const QString& Title);
// The spectrum graph of the Graph page (its bold font is the window's).
void SetupSpectrumGraph(TGraphBox& Graph);

} // namespace duv
