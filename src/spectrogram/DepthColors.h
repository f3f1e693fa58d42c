// The five fixed colour tables a colour bar can load. Entry 0 of every table
// is black and colours the strip above the top edge; entries from 1 on colour
// the bands from the highest values down.
#pragma once

#include "support/DSupport.h"

#include <cstdint>
#include <span>

namespace duv {

// Which table a colour bar holds. The names are historical: the tables have
// 13, 20, 24, 30 and 33 colours. Viridis and Magma hold 33 too: black above
// the top, then 32 colours sampled evenly from those maps, whose lightness
// rises evenly from quiet to loud (readers with colour-blindness can follow
// them, and they print sensibly in grey).
enum class TColorCount : std::uint8_t { dc12, dc20, dc24, dc30, dc32, dcViridis, dcMagma };

// The colours of one table, in band order.
std::span<const TColor> DepthColorTable(TColorCount count);

} // namespace duv
