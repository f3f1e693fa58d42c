// Window functions that weight a frame before its transform, by name, for
// every path that analyses overlapping frames of a file. Periodic windows:
// copies a hop apart add up to a constant, so frames at that hop weigh every
// sample of a file alike.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace duv {

enum class TWindowKind { Rectangular, Hann };

// The kind a name stands for, ignoring letter case; none for an unknown name.
std::optional<TWindowKind> WindowByName(const QString& Name);
QString WindowName(TWindowKind Kind);
// Every name WindowByName takes, in the order a help text lists them.
QStringList WindowNames();

// The N coefficients of the window.
std::vector<double> WindowCoefficients(TWindowKind Kind, int N);

// The step between frames of N at which the window's copies add up to a
// constant: N for the rectangular window, N / 2 for Hann.
int WindowHop(TWindowKind Kind, int N);

} // namespace duv
