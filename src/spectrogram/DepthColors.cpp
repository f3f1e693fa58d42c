// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/DepthColors.h"

#include <array>

namespace duv {

namespace {
constexpr TColor C(int r, int g, int b)
{
  return MakeColor(r, g, b);
}

constexpr std::array<TColor, 13> Colors12 = {
    C(0, 0, 0),   C(128, 0, 0),   C(255, 0, 0),   C(255, 255, 0), C(128, 128, 0),
    C(0, 255, 0), C(0, 128, 0),   C(0, 128, 128), C(0, 255, 255), C(0, 0, 255),
    C(0, 0, 128), C(128, 0, 128), C(255, 0, 255)};

constexpr std::array<TColor, 20> Colors20 = {
    C(0, 0, 0),     C(255, 255, 255), C(191, 191, 191), C(160, 160, 160), C(191, 128, 191),
    C(208, 0, 208), C(208, 0, 160),   C(255, 0, 0),     C(255, 127, 0),   C(255, 191, 0),
    C(255, 255, 0), C(191, 255, 0),   C(127, 255, 0),   C(0, 255, 63),    C(0, 255, 191),
    C(0, 255, 255), C(0, 191, 255),   C(0, 127, 255),   C(0, 0, 208),     C(0, 0, 128)};

constexpr std::array<TColor, 24> Colors24 = {
    C(0, 0, 0),     C(255, 0, 0),   C(255, 63, 0),  C(255, 127, 0), C(255, 191, 0), C(255, 255, 0),
    C(191, 255, 0), C(127, 255, 0), C(63, 255, 0),  C(0, 255, 0),   C(0, 255, 63),  C(0, 255, 127),
    C(0, 255, 191), C(0, 255, 255), C(0, 191, 255), C(0, 127, 255), C(0, 63, 255),  C(0, 0, 255),
    C(63, 0, 255),  C(127, 0, 255), C(191, 0, 255), C(255, 0, 255), C(255, 0, 191), C(255, 0, 127)};

constexpr std::array<TColor, 30> Colors30 = {
    C(0, 0, 0),       C(255, 255, 255), C(208, 208, 208), C(191, 191, 191), C(160, 160, 160),
    C(128, 128, 128), C(208, 64, 208),  C(255, 0, 255),   C(208, 0, 208),   C(128, 0, 128),
    C(208, 0, 64),    C(255, 0, 0),     C(255, 63, 0),    C(255, 127, 0),   C(255, 191, 0),
    C(255, 255, 0),   C(191, 255, 0),   C(127, 255, 0),   C(63, 255, 0),    C(0, 255, 0),
    C(0, 255, 63),    C(0, 255, 127),   C(0, 255, 191),   C(0, 255, 255),   C(0, 191, 255),
    C(0, 127, 255),   C(0, 63, 255),    C(0, 0, 255),     C(0, 0, 208),     C(0, 0, 128)};

constexpr std::array<TColor, 33> Colors32 = {
    C(0, 0, 0),     C(255, 240, 0), C(255, 224, 0), C(255, 208, 0), C(255, 192, 0), C(255, 176, 0),
    C(255, 160, 0), C(255, 144, 0), C(255, 128, 0), C(255, 112, 0), C(255, 96, 0),  C(255, 80, 0),
    C(255, 64, 0),  C(255, 48, 0),  C(255, 32, 0),  C(255, 16, 0),  C(255, 0, 0),   C(240, 0, 0),
    C(224, 0, 0),   C(208, 0, 0),   C(192, 0, 0),   C(176, 0, 0),   C(160, 0, 0),   C(144, 0, 0),
    C(128, 0, 0),   C(112, 0, 0),   C(96, 0, 0),    C(80, 0, 0),    C(64, 0, 0),    C(48, 0, 0),
    C(32, 0, 0),    C(16, 0, 0),    C(0, 0, 0)};
// Loudest first, like the temperature table.
constexpr std::array<TColor, 33> Viridis = {
    C(0, 0, 0),      C(253, 231, 37), C(234, 229, 26), C(213, 226, 26), C(189, 223, 38),
    C(168, 219, 52), C(147, 215, 65), C(127, 211, 78), C(105, 205, 91), C(88, 199, 101),
    C(72, 193, 110), C(58, 186, 118), C(46, 179, 124), C(37, 171, 130), C(32, 163, 134),
    C(30, 156, 137), C(31, 148, 140), C(34, 140, 141), C(37, 132, 142), C(40, 125, 142),
    C(43, 117, 142), C(46, 109, 142), C(50, 101, 142), C(54, 93, 141),  C(58, 84, 140),
    C(62, 76, 138),  C(66, 65, 134),  C(69, 56, 130),  C(71, 46, 124),  C(72, 36, 117),
    C(72, 24, 106),  C(71, 13, 96),   C(68, 1, 84)};

constexpr std::array<TColor, 33> Magma = {
    C(0, 0, 0),       C(252, 253, 191), C(252, 238, 176), C(253, 224, 161), C(254, 207, 146),
    C(254, 193, 133), C(254, 178, 122), C(254, 163, 111), C(253, 146, 102), C(251, 131, 95),
    C(248, 116, 92),  C(243, 101, 92),  C(236, 88, 96),   C(226, 77, 102),  C(214, 69, 108),
    C(202, 62, 114),  C(189, 57, 119),  C(174, 52, 123),  C(161, 48, 126),  C(148, 44, 128),
    C(136, 39, 129),  C(121, 34, 130),  C(109, 29, 129),  C(96, 24, 128),   C(84, 19, 125),
    C(71, 16, 120),   C(56, 16, 108),   C(42, 17, 92),    C(30, 17, 73),    C(20, 14, 54),
    C(10, 8, 34),     C(3, 3, 18),      C(0, 0, 4)};
} // namespace

std::span<const TColor> DepthColorTable(TColorCount count)
{
  switch (count) {
  case TColorCount::dc12:
    return Colors12;
  case TColorCount::dc20:
    return Colors20;
  case TColorCount::dc24:
    return Colors24;
  case TColorCount::dc30:
    return Colors30;
  case TColorCount::dcViridis:
    return Viridis;
  case TColorCount::dcMagma:
    return Magma;
  case TColorCount::dc32:
    break;
  }
  return Colors32;
}

const TColorScheme* ColorSchemeNamed(QStringView Name)
{
  for (const TColorScheme& s : ColorSchemes)
    if (Name == QLatin1String(s.Name))
      return &s;
  return nullptr;
}

QString ColorSchemeNames()
{
  QString text;
  const int n = int(std::size(ColorSchemes));
  for (int i = 0; i < n; ++i)
    text += (i == 0 ? QString() : i == n - 1 ? QStringLiteral(" or ") : QStringLiteral(", ")) +
            QLatin1String(ColorSchemes[i].Name);
  return text;
}

} // namespace duv
