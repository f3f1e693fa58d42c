// SPDX-License-Identifier: GPL-3.0-or-later
// Window functions applied to a frame before the transform: they trade a
// wider main lobe for lower leakage from strong tones into distant bins.
// Every window is scaled to a mean of 1 (its coherent gain corrected), so a
// full-scale sine centred on a bin still reads 0 dB.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace duv {

enum class TWindowKind { Rectangular, Hann, Hamming, Blackman, BlackmanHarris, FlatTop };

inline constexpr TWindowKind AllWindows[] = {TWindowKind::Rectangular, TWindowKind::Hann,
                                             TWindowKind::Hamming,     TWindowKind::Blackman,
                                             TWindowKind::BlackmanHarris, TWindowKind::FlatTop};

// The name on the command line ("blackman-harris") and in the window's list
// ("Blackman-Harris").
QString WindowName(TWindowKind Kind);
QString WindowCaption(TWindowKind Kind);
std::optional<TWindowKind> WindowFromName(const QString& Name);
// The command-line names, for messages.
QStringList WindowNames();

// The n coefficients (periodic, as suits a transform of n points), made once
// per kind and size and shared; safe to call from several threads. Summed in
// long double, as the window's shown values have always been.
std::shared_ptr<const std::vector<double>> WindowCoefficients(TWindowKind Kind, int n);

// The same coefficients summed in double from a table of exact cosines, for
// the batch paths (the command line, a whole file's spectrogram), which make
// their table once per run: within a few units in the last place of
// WindowCoefficients, and some fifty times faster to make at 32768 points.
// Other than a power of two from 4, n gives WindowCoefficients.
std::shared_ptr<const std::vector<double>> WindowTable(TWindowKind Kind, int n);

// The cosine-sum terms a0 .. a4 of the window, w = a0 - a1 cos x + a2 cos 2x
// - ..., before the gain correction.
std::array<double, 5> WindowTerms(TWindowKind Kind);

// The window's response x bins away from a tone, relative to its centre
// (the main lobe and sidelobes of a long frame): 1 at 0.
double WindowLobe(TWindowKind Kind, double x);

// Multiplies x[0 .. n-1] by the window; the rectangular window leaves it as
// it is.
void ApplyWindow(TWindowKind Kind, double* x, int n);

} // namespace duv
