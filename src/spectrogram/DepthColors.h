// SPDX-License-Identifier: GPL-3.0-or-later
// The five fixed colour tables a colour bar can load. Entry 0 of every table
// is black and colours the strip above the top edge; entries from 1 on colour
// the bands from the highest values down.
#pragma once

#include "support/DSupport.h"

#include <QString>
#include <QStringView>
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

// The colour schemes a user chooses among, in the order the window lists
// them: the caption the window shows, the name the command line takes, and
// the table. The window's list, its handler and the command line all read
// this one table.
struct TColorScheme
{
  const char* Caption;
  const char* Name;
  TColorCount Table;
};
inline constexpr TColorScheme ColorSchemes[] = {
    {"Red-Black", "red-black", TColorCount::dc32},
    {"Rainbow", "rainbow", TColorCount::dc30},
    {"Viridis", "viridis", TColorCount::dcViridis},
    {"Magma", "magma", TColorCount::dcMagma},
};
// The scheme of a command-line name; none for another name.
const TColorScheme* ColorSchemeNamed(QStringView Name);
// The names, for messages: "red-black, rainbow, viridis or magma".
QString ColorSchemeNames();

} // namespace duv
