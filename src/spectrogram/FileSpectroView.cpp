// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/FileSpectroView.h"

#include "analysis/SAGlobal.h"
#include "spectrogram/Colorbar.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace duv {

namespace {

// New columns are drawn at most this often while they pour in.
constexpr int DetailIntervalMs = 40;

const QColor StretchColor(90, 180, 255);

} // namespace

TFileSpectroView::TFileSpectroView(QWidget* Parent)
    : QWidget(Parent), FCache(std::make_unique<TLevelCache>())
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  FDepthBar = new TColorBar(this);
  FDepthBar->SetColorCount(TColorCount::dc32);
  FDepthBar->SetAdjustable(true);
  FDepthBar->SetRange(0, -FRange);
  connect(FDepthBar, &TColorBar::OnChangeSpread, this, [this] { ColorsChanged(); });
  FPainter.SetColors(FDepthBar->Bands());
  // Finished columns come from the workers' threads; they are drawn from
  // the event loop, a few times a second at most.
  FDetailTimer = new QTimer(this);
  FDetailTimer->setSingleShot(true);
  FDetailTimer->setInterval(DetailIntervalMs);
  connect(FDetailTimer, &QTimer::timeout, this, [this] { ColumnsReady(); });
  connect(
      FCache.get(), &TLevelCache::OnColumnsReady, this,
      [this] {
        if (!FDetailTimer->isActive())
          FDetailTimer->start();
      },
      Qt::QueuedConnection);
  FNavigator = new TViewNavigator(*this, *this);
  FFreq = FullFrequency();
}

TFileSpectroView::~TFileSpectroView()
{
  // The workers stop before anything they report to goes.
  FCache.reset();
}

double TFileSpectroView::Rate() const
{
  return FData.Format.nSamplesPerSec;
}

void TFileSpectroView::SetFile(const TSoundData& Data)
{
  FData = Data;
  const int bits = Data.Format.wBitsPerSample;
  FRange = bits > 0 ? -DecibelFloor(bits) : 96;
  FDepthBar->SetRange(0, -FRange);
  FPainter.SetColors(FDepthBar->Bands());
  FTime = FullTime();
  FFreq = FullFrequency();
  FLayoutValid = false;
  Restart();
}

void TFileSpectroView::StopWork()
{
  FCache->Cancel();
}

void TFileSpectroView::SetTransformSize(int Size)
{
  if (!IsBufferSize(Size) || Size == FSize)
    return;
  FSize = Size;
  if (FLog)
    FFreq.Min = std::max(FFreq.Min, FullFrequency().Min);
  Restart();
}

void TFileSpectroView::SetWindowKind(TWindowKind Window)
{
  if (Window == FWindow)
    return;
  FWindow = Window;
  Restart();
}

void TFileSpectroView::SetLogFrequency(bool Log)
{
  if (Log == FLog)
    return;
  FLog = Log;
  // What was shown, as far as the new scale can show it.
  const TAxisRange full = FullFrequency();
  FFreq.Min = std::clamp(FFreq.Min, full.Min, full.Max);
  FFreq.Max = std::clamp(FFreq.Max, full.Min, full.Max);
  if (!(FFreq.Max > FFreq.Min))
    FFreq = full;
  ViewChanged();
}

void TFileSpectroView::SetColorTable(TColorCount Table)
{
  FDepthBar->SetColorCount(Table);
  FDepthBar->SetRange(0, -FRange);
  ColorsChanged();
}

void TFileSpectroView::ColorsChanged()
{
  FDepthBar->SetRange(0, -FRange);
  FPainter.SetColors(FDepthBar->Bands());
  FPlotValid = false;
  update();
}

TAxisRange TFileSpectroView::FullTime() const
{
  const double rate = Rate();
  return {0, rate > 0 ? std::max<double>(FData.SamplesPerChannel, 1) / rate : 1};
}

TAxisRange TFileSpectroView::FullFrequency() const
{
  const double rate = Rate() > 0 ? Rate() : 44100;
  // A logarithmic axis cannot reach 0 Hz: it starts at the first bin.
  return {FLog ? DefaultLogLow(rate, FSize) : 0, rate / 2};
}

void TFileSpectroView::SetTimeView(const TAxisRange& Range)
{
  if (Range.Min == FTime.Min && Range.Max == FTime.Max)
    return;
  FTime = Range;
  ViewChanged();
}

void TFileSpectroView::SetFrequencyView(const TAxisRange& Range)
{
  if (Range.Min == FFreq.Min && Range.Max == FFreq.Max)
    return;
  FFreq = Range;
  ViewChanged();
}

void TFileSpectroView::SetStretch(double Seconds, double Length)
{
  if (Seconds == FStretchStart && Length == FStretchLength)
    return;
  FStretchStart = Seconds;
  FStretchLength = Length;
  update(PlotRect().adjusted(-1, -1, 1, 1));
}

void TFileSpectroView::Restart()
{
  FCache->SetSource(FData, FSize, FWindow);
  ViewChanged();
}

TLevelView TFileSpectroView::LevelView(const QRect& Plot, double Scale) const
{
  TLevelView v;
  v.From = FTime.Min * Rate();
  v.To = FTime.Max * Rate();
  v.FLow = FFreq.Min;
  v.FHigh = FFreq.Max;
  v.Log = FLog;
  v.Width = int(std::lround(Plot.width() * Scale));
  v.Height = int(std::lround(Plot.height() * Scale));
  return v;
}

void TFileSpectroView::ViewChanged()
{
  FLayoutValid = false;
  FPlotValid = false;
  FCache->Collect();
  FCache->Want(LevelView(PlotRect(), devicePixelRatioF()));
  update();
}

void TFileSpectroView::ColumnsReady()
{
  if (FCache->Collect()) {
    FPlotValid = false;
    update(PlotRect());
    Q_EMIT OnDetail();
  }
}

QImage TFileSpectroView::PlotImage(const QRect& Plot, double Scale)
{
  const TLevelView v = LevelView(Plot, Scale);
  QImage image(std::max(v.Width, 1), std::max(v.Height, 1), QImage::Format_RGB32);
  if (v.Width > 0 && v.Height > 0)
    FPainter.Paint(*FCache, v, reinterpret_cast<std::uint32_t*>(image.bits()),
                   int(image.bytesPerLine() / 4));
  image.setDevicePixelRatio(Scale);
  return image;
}

void TFileSpectroView::PaintTo(QPainter& Painter, const TLayout& L, const QImage& Plot,
                               bool Stretch) const
{
  Painter.save();
  Painter.fillRect(QRect(QPoint(0, 0), L.Size), Qt::black);
  Painter.drawImage(L.Plot.topLeft(), Plot);
  if (!FCache->HasSource()) {
    Painter.setPen(QColor(160, 160, 160));
    Painter.drawText(L.Plot, Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("Open a file on the Wave File page"));
  }
  // The stretch the Wave File page analyses: a light band with its edges.
  if (Stretch && FStretchLength >= 0 && FTime.Max > FTime.Min) {
    const TAxisView axis = TimeAxis(L.Plot);
    const double x0 = PixelOfValue(axis, FStretchStart);
    const double x1 = std::max(PixelOfValue(axis, FStretchStart + FStretchLength), x0 + 1);
    const QRectF band =
        QRectF(x0, L.Plot.top(), x1 - x0, L.Plot.height()).intersected(QRectF(L.Plot));
    if (!band.isEmpty()) {
      QColor fill = StretchColor;
      fill.setAlpha(48);
      Painter.fillRect(band, fill);
      Painter.setPen(QPen(StretchColor, 1));
      for (double x : {x0, x1})
        if (x >= L.Plot.left() && x <= L.Plot.right() + 1)
          Painter.drawLine(QPointF(x, L.Plot.top()), QPointF(x, L.Plot.bottom() + 1));
    }
  }
  // The frame, ticks and labels.
  Painter.setPen(Qt::white);
  Painter.setBrush(Qt::NoBrush);
  Painter.drawRect(L.Plot.adjusted(-1, -1, 0, 0));
  for (const QLine& t : L.Ticks)
    Painter.drawLine(t);
  for (const TLayout::TLabel& l : L.Labels)
    Painter.drawText(l.Rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                     l.Text);
  Painter.restore();
}

void TFileSpectroView::paintEvent(QPaintEvent*)
{
  const TLayout& l = Layout();
  if (FDepthBar->geometry() != l.Bar)
    FDepthBar->setGeometry(l.Bar);
  const double scale = devicePixelRatioF();
  if (!FPlotValid || FPlot.deviceIndependentSize().toSize() != l.Plot.size()) {
    FPlot = PlotImage(l.Plot, scale);
    FPlotValid = true;
  }
  QPainter painter(this);
  PaintTo(painter, l, FPlot, true);
  TViewNavigator::DrawFocus(painter, *this);
}

QImage TFileSpectroView::RenderPicture(QSize Size, bool Complete, int TimeoutMs)
{
  return Render(Size, Complete, TimeoutMs, true, QString());
}

QImage TFileSpectroView::SavedPicture(QSize Size, const QString& Title, int TimeoutMs)
{
  return Render(Size, true, TimeoutMs, false, Title);
}

QImage TFileSpectroView::Render(QSize Size, bool Complete, int TimeoutMs, bool Stretch,
                                const QString& Title)
{
  if (!Size.isValid() || Size.isEmpty())
    Size = size();
  if (Size.isEmpty())
    return {};
  // A title takes a line above the view, which keeps the rest.
  const int band = Title.isEmpty() ? 0 : QFontMetrics(font()).height() + 4;
  TLayout l = MakeLayout(Size - QSize(0, band));
  l.Size = Size;
  l.Plot.translate(0, band);
  l.Bar.translate(0, band);
  for (QLine& t : l.Ticks)
    t.translate(0, band);
  for (TLayout::TLabel& t : l.Labels)
    t.Rect.translate(0, band);
  if (Complete && FCache->HasSource()) {
    // The picture's own view, without margins, then back to the window's.
    FCache->Want(LevelView(l.Plot, 1));
    QElapsedTimer clock;
    clock.start();
    while (!FCache->WaitIdle(50) && clock.elapsed() < TimeoutMs)
      FCache->Collect();
    FCache->Collect();
  }
  QImage picture(Size, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.setFont(font());
  PaintTo(painter, l, PlotImage(l.Plot, 1), Stretch);
  if (band > 0) {
    painter.setPen(Qt::white);
    painter.drawText(
        QRect(l.Plot.left(), 2, Size.width() - l.Plot.left() - 2, band - 2),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(font()).elidedText(Title, Qt::ElideMiddle, Size.width() - l.Plot.left() - 2));
  }
  // The colour bar's bands, full scale at the top.
  for (int y = 0; y < l.Bar.height(); ++y) {
    const double level = -(y + 0.5) / l.Bar.height() * FRange;
    painter.fillRect(l.Bar.left(), l.Bar.top() + y, l.Bar.width(), 1,
                     QColor::fromRgb(FPainter.ColorOf(level)));
  }
  painter.end();
  if (Complete)
    ViewChanged();
  return picture;
}

void TFileSpectroView::resizeEvent(QResizeEvent* Event)
{
  QWidget::resizeEvent(Event);
  ViewChanged();
}

void TFileSpectroView::changeEvent(QEvent* Event)
{
  QWidget::changeEvent(Event);
  if (Event->type() == QEvent::FontChange)
    ViewChanged();
}

bool TFileSpectroView::ReadAt(QPoint At, TReading& Reading)
{
  const QRect plot = PlotRect();
  if (!plot.contains(At) || !FCache->HasSource())
    return false;
  const QPointF middle = QPointF(At) + QPointF(0.5, 0.5);
  Reading.Time = ValueAtPixel(TimeAxis(plot), middle.x());
  Reading.Frequency = ValueAtPixel(FrequencyAxis(plot), middle.y());
  // The device pixel under the point, as the plot was drawn.
  const double scale = devicePixelRatioF();
  const TLevelView v = LevelView(plot, scale);
  const int x = std::clamp(int((middle.x() - plot.left()) * scale), 0, v.Width - 1);
  const int y = std::clamp(int((middle.y() - plot.top()) * scale), 0, v.Height - 1);
  Reading.Level = FPainter.LevelAt(*FCache, v, x, y);
  return true;
}

void TFileSpectroView::mouseMoveEvent(QMouseEvent* Event)
{
  QWidget::mouseMoveEvent(Event);
  FPointer = Event->position().toPoint();
  FPointerInside = true;
  Q_EMIT OnMouseMove(FPointer.x(), FPointer.y());
}

void TFileSpectroView::leaveEvent(QEvent* Event)
{
  QWidget::leaveEvent(Event);
  FPointerInside = false;
  Q_EMIT OnMouseLeave();
}

void TFileSpectroView::mousePressEvent(QMouseEvent* Event)
{
  // The navigator hands a press on only when it stayed a click.
  QWidget::mousePressEvent(Event);
  const QPoint at = Event->position().toPoint();
  if (Event->button() == Qt::LeftButton && PlotRect().contains(at) && FCache->HasSource())
    Q_EMIT OnTimeClick(std::max(0.0, ValueAtPixel(TimeAxis(PlotRect()), at.x() + 0.5)));
}

void TFileSpectroView::keyPressEvent(QKeyEvent* Event)
{
  if (Event->key() != Qt::Key_Space || Event->isAutoRepeat()) {
    QWidget::keyPressEvent(Event);
    return;
  }
  const QRect plot = PlotRect();
  double seconds = -1;
  if (FPointerInside && plot.contains(FPointer))
    seconds = std::max(0.0, ValueAtPixel(TimeAxis(plot), FPointer.x() + 0.5));
  Q_EMIT OnPlayKey(seconds);
}

} // namespace duv
