// The five fixed colour tables a colour bar can load. Entry 0 of every table
// is black and colours the strip above the top edge; entries from 1 on colour
// the bands from the highest values down.
#pragma once

#include "support/DSupport.h"

#include <cstdint>
#include <span>

namespace duv {

// Which table a colour bar holds. The names are historical: the tables have
// 13, 20, 24, 30 and 33 colours.
enum class TColorCount : std::uint8_t { dc12, dc20, dc24, dc30, dc32 };

// The colours of one table, in band order.
std::span<const TColor> DepthColorTable(TColorCount count);

} // namespace duv
