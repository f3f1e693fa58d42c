// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/SpectrogramPicture.h"

#include "spectrogram/ColorBands.h"

#include <QFont>
#include <QFontMetrics>
#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace duv {

namespace {

const QColor Paper(255, 255, 255);
const QColor Ink(32, 32, 32);
const QColor Quiet(96, 96, 96); // the subtitle
const QColor Frame(64, 64, 64);

constexpr int Pad = 10;      // around the picture
constexpr int Tick = 4;      // tick length
constexpr int Gap = 4;       // between a tick and its label, a label and its axis title
constexpr int BarGap = 16;   // between the plot and the colour bar
constexpr int BarWidth = 18;

// Qt's PNG quality 80 is zlib's quickest level: on the picture of a minute
// of noise and a sweep, 20 ms rather than the default's 75, for a file of
// 263 KB rather than 187.
constexpr int PngQuality = 80;

// Fixed pixel sizes: the picture must not depend on a screen's resolution.
QFont labelFont()
{
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(12);
  return f;
}

QFont titleFont()
{
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(15);
  f.setBold(true);
  return f;
}

// A label's text: as many decimals as the step needs, and a true minus sign.
QString labelText(double value, double step)
{
  return RoundLabel(value, {false, StepDecimals(step)});
}

// Values first + k step within [low, high].
std::vector<double> ticks(double low, double high, double step)
{
  return StepTicks(low, high, step);
}

// Text as the label font measures it, for the round ticks of a
// logarithmic axis.
class TMeasure final : public TTextMeasure
{
public:
  explicit TMeasure(const QFontMetrics& Metrics) : FMetrics(Metrics) {}
  int Width(const QString& Text) const override { return FMetrics.horizontalAdvance(Text); }
  int Height() const override { return FMetrics.height(); }

private:
  const QFontMetrics& FMetrics;
};

// The axes' steps and label widths: the frequency axis is in kHz when it
// reaches 2 kHz; a logarithmic one has its own round ticks, in Hz.
struct TAxes
{
  double TimeStep, FreqStep, DbStep;
  bool KiloHertz;
  int FreqLabelWidth, DbLabelWidth;
  std::vector<TAxisTick> LogTicks;
};

TAxes axes(const TFileSpectrogram& g, const TSpectrogramPicture& p, const QFontMetrics& m)
{
  TAxes a{};
  const double from = g.TimeFrom(), to = g.TimeTo(), span = to - from;
  const double low = g.FreqLow(), high = g.FreqHigh();
  a.KiloHertz = !g.LogFrequency && high >= 2000;
  const double unit = a.KiloHertz ? 1000 : 1;
  // A label every two and a half lines at least, up and down; across, the
  // widest label and a space.
  const int most = std::max(1, g.Height / (m.height() * 5 / 2));
  a.FreqStep = LabelStep((high - low) / unit, most);
  a.DbStep = LabelStep(p.Range, most, true);
  a.TimeStep = LabelStep(span, std::max(1, g.Width / m.horizontalAdvance("00000")));
  for (int round = 0; round < 8; ++round) {
    int widest = 0;
    for (double t : ticks(from, to, a.TimeStep))
      widest = std::max(widest, m.horizontalAdvance(labelText(t, a.TimeStep)));
    const int most = std::max(1, g.Width / (widest + m.horizontalAdvance("00")));
    if (span / a.TimeStep <= most + 1e-9)
      break;
    a.TimeStep = LabelStep(span, most);
  }
  if (g.LogFrequency) {
    TTickAxis axis;
    axis.Min = low;
    axis.Max = high;
    axis.Log = true;
    axis.Pixels = std::max(g.Height - 1, 1);
    axis.Vertical = true;
    const TMeasure measure(m);
    for (const TAxisTick& t : RoundAxisTicks(axis, measure))
      if (!t.Unit) {
        a.LogTicks.push_back(t);
        if (t.Labelled)
          a.FreqLabelWidth = std::max(a.FreqLabelWidth, m.horizontalAdvance(t.Label));
      }
  } else {
    for (double f : ticks(low / unit, high / unit, a.FreqStep))
      a.FreqLabelWidth = std::max(a.FreqLabelWidth, m.horizontalAdvance(labelText(f, a.FreqStep)));
  }
  for (double d : ticks(-p.Range, 0, a.DbStep))
    a.DbLabelWidth = std::max(a.DbLabelWidth, m.horizontalAdvance(labelText(d, a.DbStep)));
  return a;
}

TSpectrogramLayout layout(const TFileSpectrogram& g, const TAxes& a, const QFontMetrics& label,
                          const QFontMetrics& title, const TSpectrogramPicture& p)
{
  const int line = label.height();
  // Left: the rotated axis title, its labels, the ticks.
  const int left = Pad + line + Gap + a.FreqLabelWidth + Gap + Tick;
  // Above: the title and the subtitle, then room for "dB" over the bar.
  const int top = Pad + title.height() + Gap + line + Gap + line + Gap;
  // Below: ticks, labels, the axis title.
  const int bottom = Tick + Gap + line + Gap + line + Pad;
  // Right: half the last time label, or the bar with its labels.
  const int right = BarGap + BarWidth + Tick + Gap + std::max(a.DbLabelWidth, label.horizontalAdvance("dB")) + Pad;
  TSpectrogramLayout l;
  l.Plot = QRect(left, top, g.Width, g.Height);
  l.Bar = QRect(l.Plot.right() + 1 + BarGap, top, BarWidth, g.Height);
  // Wide enough for the title and the subtitle, however narrow the plot,
  // unless they are very long: then they are shortened.
  const int plain = left + g.Width + right;
  const int text = 2 * Pad + std::max(title.horizontalAdvance(p.Title),
                                      label.horizontalAdvance(p.Subtitle));
  l.Image = QSize(std::clamp(text, plain, plain + 400), top + g.Height + bottom);
  return l;
}

QRgb rgbOf(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

} // namespace

TSpectrogramLayout LayoutSpectrogramPicture(const TFileSpectrogram& Grid,
                                            const TSpectrogramPicture& Picture)
{
  const QFontMetrics label(labelFont()), title(titleFont());
  return layout(Grid, axes(Grid, Picture, label), label, title, Picture);
}

QImage RenderSpectrogramPicture(const TFileSpectrogram& Grid, const TSpectrogramPicture& Picture)
{
  const TFileSpectrogram& g = Grid;
  const QFont lf = labelFont(), tf = titleFont();
  const QFontMetrics lm(lf), tm(tf);
  const TAxes a = axes(g, Picture, lm);
  const TSpectrogramLayout l = layout(g, a, lm, tm, Picture);
  QImage image(l.Image, QImage::Format_RGB32);
  image.fill(Paper);
  // Also as text a PNG file keeps, for programs that index pictures.
  image.setText(QStringLiteral("Title"), Picture.Title);
  image.setText(QStringLiteral("Description"), Picture.Subtitle);

  // The bands of the window's spectrogram: the table spaced evenly from
  // full scale down to the range.
  TColorBands bands;
  bands.LoadColorTable(Picture.Colors);
  bands.ResetSpacing();
  bands.SetRange(0, -Picture.Range);
  const TBandLookup lookup(bands);
  const auto colourOf = [&](double v) {
    // Written so that -inf and NaN (silence) take the bottom colour too.
    if (!(v >= -Picture.Range))
      v = -Picture.Range;
    return rgbOf(lookup.ColorOf(std::min(v, 0.0)));
  };
  for (int r = 0; r < g.Height; ++r) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(l.Plot.top() + g.Height - 1 - r));
    for (int c = 0; c < g.Width; ++c)
      row[l.Plot.left() + c] = colourOf(g.Level(c, r));
  }
  for (int y = 0; y < l.Bar.height(); ++y) {
    // The value in the middle of each pixel row, full scale at the top.
    const QRgb rgb = colourOf(-(y + 0.5) / l.Bar.height() * Picture.Range);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(l.Bar.top() + y));
    std::fill(row + l.Bar.left(), row + l.Bar.left() + l.Bar.width(), rgb);
  }

  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing);
  const int line = lm.height();
  const auto text = [&](int x, int y, int flags, const QString& s) {
    // An anchor point and an alignment: the text sits against the point.
    const int w = lm.horizontalAdvance(s) + 2;
    QRect r(x, y, w, line);
    if (flags & Qt::AlignHCenter)
      r.moveLeft(x - w / 2);
    else if (flags & Qt::AlignRight)
      r.moveRight(x);
    if (flags & Qt::AlignVCenter)
      r.moveTop(y - line / 2);
    p.drawText(r, Qt::AlignCenter | Qt::TextDontClip, s);
  };

  // Frames, one pixel outside the plot and the bar.
  p.setPen(Frame);
  p.drawRect(l.Plot.adjusted(-1, -1, 0, 0));
  p.drawRect(l.Bar.adjusted(-1, -1, 0, 0));

  p.setFont(lf);
  // Time across: the stretch's start at the plot's left edge, its end at
  // its right.
  const int plotBottom = l.Plot.bottom() + 1;
  const double from = g.TimeFrom(), to = g.TimeTo();
  for (double t : ticks(from, to, a.TimeStep)) {
    const int x =
        l.Plot.left() + int(std::lround((t - from) / std::max(to - from, 1e-300) * g.Width));
    p.setPen(Frame);
    p.drawLine(x, plotBottom, x, plotBottom + Tick - 1);
    p.setPen(Ink);
    text(x, plotBottom + Tick + Gap, Qt::AlignHCenter, labelText(t, a.TimeStep));
  }
  text(l.Plot.center().x(), plotBottom + Tick + Gap + line + Gap, Qt::AlignHCenter,
       QStringLiteral("Time (s)"));

  // Frequency up: row r stands for r / (height - 1) of the way from the
  // lowest frequency to the highest, on a logarithmic axis in their ratio.
  const double low = g.FreqLow(), high = g.FreqHigh();
  const auto freqTick = [&](int row, const QString& label, bool labelled) {
    const int y = l.Plot.top() + g.Height - 1 - row;
    p.setPen(Frame);
    p.drawLine(l.Plot.left() - 1 - (labelled ? Tick : Tick / 2), y, l.Plot.left() - 2, y);
    if (!labelled)
      return;
    p.setPen(Ink);
    text(l.Plot.left() - 1 - Tick - Gap, y, Qt::AlignRight | Qt::AlignVCenter, label);
  };
  if (g.LogFrequency) {
    for (const TAxisTick& t : a.LogTicks)
      freqTick(t.Pixel, t.Label, t.Labelled);
  } else {
    const double unit = a.KiloHertz ? 1000 : 1;
    for (double f : ticks(low / unit, high / unit, a.FreqStep)) {
      const double row = g.Height > 1 ? (f * unit - low) / (high - low) * (g.Height - 1) : 0;
      freqTick(int(std::lround(row)), labelText(f, a.FreqStep), true);
    }
  }
  p.save();
  p.translate(Pad, l.Plot.center().y());
  p.rotate(-90);
  const QString freqTitle = a.KiloHertz ? QStringLiteral("Frequency (kHz)") : QStringLiteral("Frequency (Hz)");
  p.drawText(QRect(-l.Plot.height() / 2, 0, l.Plot.height(), line), Qt::AlignCenter | Qt::TextDontClip,
             freqTitle);
  p.restore();

  // The colour bar: full scale at the top, the range at the bottom.
  for (double d : ticks(-Picture.Range, 0, a.DbStep)) {
    const int y = l.Bar.top() + int(std::lround(-d / Picture.Range * (l.Bar.height() - 1)));
    p.setPen(Frame);
    p.drawLine(l.Bar.right() + 1, y, l.Bar.right() + Tick, y);
    p.setPen(Ink);
    text(l.Bar.right() + 1 + Tick + Gap, y, Qt::AlignLeft | Qt::AlignVCenter, labelText(d, a.DbStep));
  }
  text(l.Bar.center().x(), l.Bar.top() - 1 - Gap - line, Qt::AlignHCenter, QStringLiteral("dB"));

  // The title and the subtitle, shortened with an ellipsis when the picture
  // is too narrow for them.
  const int textWidth = l.Image.width() - 2 * Pad;
  p.setFont(tf);
  p.setPen(Ink);
  p.drawText(QRect(Pad, Pad, textWidth, tm.height()), Qt::AlignLeft | Qt::AlignVCenter,
             tm.elidedText(Picture.Title, Qt::ElideMiddle, textWidth));
  p.setFont(lf);
  p.setPen(Quiet);
  p.drawText(QRect(Pad, Pad + tm.height() + Gap, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
             lm.elidedText(Picture.Subtitle, Qt::ElideRight, textWidth));
  return image;
}

bool WriteSpectrogramPng(const TFileSpectrogram& Grid, const TSpectrogramPicture& Picture,
                         QIODevice& Out)
{
  return RenderSpectrogramPicture(Grid, Picture).save(&Out, "PNG", PngQuality);
}

} // namespace duv
