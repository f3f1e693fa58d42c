// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/Spectrogram.h"

#include "spectrogram/CanvasOps.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace duv {

namespace {
constexpr const char* BarMimeType = "application/x-duvovovi-colorbar";

inline QRgb ToRgb(TColor c)
{
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// Source index of destination pixel d of n when `count` sources are stretched
// over n pixels: the source under the pixel's centre (nearest neighbour).
inline int SampleIndex(int d, int n, int count)
{
  return int((std::int64_t(2 * d + 1) * count) / (2 * std::int64_t(n)));
}

constexpr QRgb Black = 0xFF000000u;
} // namespace

TSpectroGram::TSpectroGram(QWidget* parent) : QWidget(parent)
{
  FImage = QImage(0, 0, QImage::Format_RGB32);
  setAttribute(Qt::WA_OpaquePaintEvent); // the paint covers the whole control
  setMouseTracking(true);

  FDepthBar = new TColorBar(this);
  FDepthBar->SetColorCount(TColorCount::dc32);
  FDepthBar->SetAdjustable(true);
  connect(FDepthBar, &TColorBar::OnChangeSelect, this, &TSpectroGram::OnBarSelect);
  connect(FDepthBar, &TColorBar::OnChangeSpread, this, &TSpectroGram::OnBarSpread);
  connect(FDepthBar, &TColorBar::OnChangingBar, this, &TSpectroGram::OnBarChanging);
  connect(FDepthBar, &TColorBar::OnMouseDown, this, [this](QObject*, QMouseEvent* event) {
    // A press that did not grab an edge may become a drag of the bar.
    FBarDragPending = event->button() == Qt::LeftButton && !FDepthBar->EdgeDragging();
    FBarPressPos = event->position().toPoint();
  });
  connect(FDepthBar, &TColorBar::OnMouseMove, this, [this](QObject*, QMouseEvent* event) {
    if (!FBarDragPending || !(event->buttons() & Qt::LeftButton))
      return;
    if ((event->position().toPoint() - FBarPressPos).manhattanLength() <
        QApplication::startDragDistance())
      return;
    FBarDragPending = false;
    BeginBarDrag();
  });
  connect(FDepthBar, &TColorBar::OnMouseUp, this,
          [this](QObject*, QMouseEvent*) { FBarDragPending = false; });
  FDepthBar->setAcceptDrops(true);
  FDepthBar->installEventFilter(this);
  FDepthBar->show();

  SetColorCount(TColorDepth::dc24);
  UpdateMargins();
  FNavigator = new TViewNavigator(*this, *this);
}

void TSpectroGram::SetColorCount(TColorDepth v)
{
  if (Assign(FColorCount, v))
    FDepthBar->SetColorCount(static_cast<TColorCount>(v));
}

void TSpectroGram::SetImageSize(int width, int height)
{
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (FImage.width() != width || FImage.height() != height) {
    FImage = QImage(width, height, QImage::Format_RGB32);
    FPlotColumnsValid = false;
  }
  FImage.fill(Qt::black);
  FLevels.assign(std::size_t(width) * std::size_t(height), NoLevel);
  FNextRow = 0;
}

QImage TSpectroGram::Image() const
{
  QImage plain(FImage.size(), QImage::Format_RGB32);
  const int h = FImage.height();
  const auto bytes = std::size_t(FImage.width()) * sizeof(QRgb);
  for (int r = 0; r < h; ++r)
    std::memcpy(plain.scanLine(r), FImage.constScanLine((FNextRow + r) % h), bytes);
  return plain;
}

void TSpectroGram::SetDepthRange(const TRangePair& range)
{
  if (!Assign(FDepthRange, range))
    return;
  FDepthBar->SetRange(range.Second, range.First);
  AxesChanged();
}

void TSpectroGram::SetXRange(const TRangePair& range)
{
  if (!Assign(FXRange, range))
    return;
  FView = FullView();
  AxesChanged();
}

void TSpectroGram::SetYRange(const TRangePair& range)
{
  if (Assign(FYRange, range))
    AxesChanged();
}

const std::vector<int>& TSpectroGram::LineColumns(int lastIndex)
{
  const int w = FImage.width();
  if (int(FLineColumns.size()) != w || FLineColumnsLast != lastIndex) {
    // Nearest index, ties to even; the same for every line of a frame size,
    // so it is worked out once rather than per pixel per line.
    const double ratio = double(lastIndex) / w;
    FLineColumns.resize(std::size_t(w));
    for (int i = 0; i < w; ++i)
      FLineColumns[std::size_t(i)] = std::clamp(Round(i * ratio), 0, lastIndex);
    FLineColumnsLast = lastIndex;
  }
  return FLineColumns;
}

void TSpectroGram::AddLine(std::span<const double> values, int lastIndex)
{
  const int w = FImage.width(), h = FImage.height();
  lastIndex = std::min<std::int64_t>(lastIndex, std::int64_t(values.size()) - 1);
  if (w <= 0 || h <= 0 || lastIndex < 0)
    return; // no image yet, or nothing to show
  FDepthBar->SetRange(FDepthRange.Second, FDepthRange.First);
  const TBandLookup bands(FDepthBar->Bands());
  const int* columns = LineColumns(lastIndex).data();
  // The new line overwrites the oldest row; the ring's start moves past it,
  // which scrolls every older line up by one.
  auto* row = reinterpret_cast<QRgb*>(FImage.scanLine(FNextRow));
  std::int16_t* levels = FLevels.data() + std::size_t(FNextRow) * std::size_t(w);
  for (int i = 0; i < w; ++i) {
    const double v = values[std::size_t(columns[i])];
    row[i] = ToRgb(bands.ColorOf(v));
    // Hundredths of a dB: what the mouse reads, at two bytes a pixel.
    levels[i] =
        std::int16_t(std::isnan(v) ? NoLevel : std::lround(std::clamp(v, -320.0, 320.0) * 100));
  }
  FNextRow = (FNextRow + 1) % h;
  update(PlotRect()); // the labels stay as they are
}

void TSpectroGram::PixelToValue(int x, int y, double& xValue, double& yValue) const
{
  const double pw = width() - (FMargins.Left + FMargins.Right);
  const double ph = height() - (FMargins.Top + FMargins.Bottom);
  if (FLogFrequency)
    xValue = ValueAtPixel(FrequencyAxis(), x);
  else
    xValue = FView.Min + (x - FMargins.Left) / (pw / (FView.Max - FView.Min));
  yValue = FYRange.First + (y - FMargins.Top) / (ph / (FYRange.Second - FYRange.First));
}

bool TSpectroGram::LevelAt(int x, int y, double& Level) const
{
  const QRect plot = PlotRect();
  const int w = FImage.width(), h = FImage.height();
  if (!plot.contains(x, y) || w <= 0 || h <= 0 || FLevels.size() != std::size_t(w) * h)
    return false;
  // The pixel as the plot is drawn: its column of the picture, its row of
  // the ring.
  const std::vector<int> columns = PlotColumns(
      FView, FLogFrequency, plot.width(),
      {std::min(FXRange.First, FXRange.Second), std::max(FXRange.First, FXRange.Second)}, w);
  const int column = columns[std::size_t(x - plot.left())];
  if (column < 0)
    return false;
  const int row = (FNextRow + SampleIndex(y - plot.top(), plot.height(), h)) % h;
  const std::int16_t v = FLevels[std::size_t(row) * std::size_t(w) + std::size_t(column)];
  if (v == NoLevel)
    return false; // no line there yet
  Level = v / 100.0;
  return true;
}

bool TSpectroGram::PlotContains(int x, int y) const
{
  return x >= FMargins.Left && x <= width() - FMargins.Right && y >= FMargins.Top &&
         y <= height() - FMargins.Bottom;
}

QRect TSpectroGram::PlotRect() const
{
  return QRect(FMargins.Left, FMargins.Top, std::max(width() - FMargins.Left - FMargins.Right, 0),
               std::max(height() - FMargins.Top - FMargins.Bottom, 0));
}

void TSpectroGram::LayoutDepthBar()
{
  const int w = width(), h = height();
  const int barWidth = FRoundTicks ? RoundBarWidth() : FMargins.Right - 4;
  FDepthBar->setGeometry(w - FMargins.Right + 2, FMargins.Top, std::max(barWidth, 0),
                         std::max(h - FMargins.Top - FMargins.Bottom, 0));
}

void TSpectroGram::FillPlot(uchar* first, qsizetype line, int ph) const
{
  const int h = FImage.height();
  const int pw = int(FPlotColumns.size());
  const std::size_t rowBytes = std::size_t(FImage.width()) * sizeof(QRgb);
  auto sourceRow = [&](int y) {
    return reinterpret_cast<const QRgb*>(
        FImage.constScanLine((FNextRow + SampleIndex(y, ph, h)) % h));
  };
  auto prefetchRow = [&](int y) {
    // Rows of a tall image lie far apart in memory; ask for the next one early
    // so the cache misses overlap the copying of this one.
    if (y >= ph)
      return;
    const auto* row = reinterpret_cast<const char*>(sourceRow(y));
    for (std::size_t b = 0; b < rowBytes; b += 64)
      __builtin_prefetch(row + b);
  };
  prefetchRow(0);
  prefetchRow(1);
  int lastSource = -1;
  for (int y = 0; y < ph; ++y) {
    prefetchRow(y + 2);
    auto* dst = reinterpret_cast<QRgb*>(first + y * line);
    const int source = SampleIndex(y, ph, h);
    if (source == lastSource) {
      std::memcpy(dst, first + (y - 1) * line, std::size_t(pw) * sizeof(QRgb));
      continue;
    }
    lastSource = source;
    const QRgb* src = sourceRow(y);
    for (const TColumnRun& r : FPlotRuns) {
      const QRgb v = r.Column >= 0 ? src[r.Column] : Black; // beyond the data: black
      QRgb* d = dst + r.X;
      if (r.Short) {
        // Eight pixels in two stores whatever the run's length, so that runs
        // of varying length cost no mispredicted branches; what passes the
        // run's end lies in the runs after it, which are written later.
        const QRgb quad[4] = {v, v, v, v};
        std::memcpy(d, quad, sizeof quad);
        std::memcpy(d + 4, quad, sizeof quad);
      } else {
        std::fill_n(d, r.Length, v);
      }
    }
  }
}

bool TSpectroGram::PaintPlotDirect(QPainter& painter, int pw, int ph)
{
  // Drawing FPlot unscaled at whole pixels onto a 32-bit image copies its
  // opaque pixels as they are; writing them there in the first place saves
  // building FPlot and copying it, a whole plot of pixels a frame. Only a
  // raster engine on such an image, moved by whole pixels, unclipped but
  // for the region being painted, with plain opaque painting, qualifies.
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping() ||
      painter.opacity() != 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
    return false;
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image)
    return false;
  const auto* image = static_cast<const QImage*>(device);
  const QImage::Format format = image->format();
  if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
      format != QImage::Format_ARGB32_Premultiplied)
    return false;
  const QTransform t = painter.deviceTransform();
  if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) ||
      t.dy() != std::floor(t.dy()))
    return false;
  const QRect dest =
      QRect(FMargins.Left, FMargins.Top, pw, ph).translated(int(t.dx()), int(t.dy()));
  // QRegion::contains(QRect) only asks for an overlap: the region must cover
  // the whole plot, or pixels outside what is being painted would change.
  const QRegion clip = engine->systemClip();
  if (!image->rect().contains(dest) || (!clip.isEmpty() && !(QRegion(dest) - clip).isEmpty()))
    return false;
  // The engine writes into these same bits; no copy of the image is made.
  uchar* bits = const_cast<uchar*>(image->constBits());
  const qsizetype line = image->bytesPerLine();
  FillPlot(bits + dest.top() * line + qsizetype(dest.left()) * 4, line, ph);
  return true;
}

void TSpectroGram::PaintPlot(QPainter& painter, int pw, int ph)
{
  const int w = FImage.width(), h = FImage.height();
  if (w <= 0 || h <= 0)
    return;
  if (int(FPlotColumns.size()) != pw || !FPlotColumnsValid) {
    FPlotColumns = PlotColumns(
        FView, FLogFrequency, pw,
        {std::min(FXRange.First, FXRange.Second), std::max(FXRange.First, FXRange.Second)}, w);
    FPlotRuns.clear();
    for (int x = 0; x < pw; ++x) {
      if (x > 0 && FPlotColumns[std::size_t(x)] == FPlotRuns.back().Column)
        ++FPlotRuns.back().Length;
      else
        FPlotRuns.push_back({x, 1, FPlotColumns[std::size_t(x)], false});
    }
    for (TColumnRun& r : FPlotRuns)
      r.Short = r.Length <= 8 && r.X + 8 <= pw;
    FPlotColumnsValid = true;
  }
  // Nearest-neighbour stretch of the ring into the plot: only the rows and
  // columns that land on screen are read.
  if (PaintPlotDirect(painter, pw, ph))
    return;
  if (FPlot.width() != pw || FPlot.height() != ph)
    FPlot = QImage(pw, ph, QImage::Format_RGB32);
  FillPlot(FPlot.bits(), FPlot.bytesPerLine(), ph);
  painter.drawImage(FMargins.Left, FMargins.Top, FPlot);
}

void TSpectroGram::PaintTo(QPainter& painter)
{
  if (FMarginsFor != size())
    Relayout();
  LayoutDepthBar();
  const int w = width(), h = height();
  painter.save();
  // One colour for the outline on every paint and in every copy, so the
  // control never flickers from one to another.
  DrawRectangle(painter, 0, 0, w, h, Qt::black, Qt::black);
  const int pw = w - FMargins.Left - FMargins.Right;
  const int ph = h - FMargins.Top - FMargins.Bottom;
  if (pw > 0 && ph > 0)
    PaintPlot(painter, pw, ph);
  DrawRectangle(painter, FMargins.Left - 1, FMargins.Top - 1, w - FMargins.Right + 1,
                h - FMargins.Bottom + 1, Qt::white);
  const QColor white(255, 255, 255);
  painter.setPen(white);
  const TSpectroAxes& axes = Axes();
  for (const QLine& l : axes.Ticks)
    DrawAxisLine(painter, l.x1(), l.y1(), l.x2(), l.y2(), white);
  for (const TSpectroLabel& l : axes.Labels)
    painter.drawText(l.Rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                     l.Text);
  painter.restore();
}

QImage TSpectroGram::RenderPicture()
{
  if (width() <= 0 || height() <= 0)
    return {};
  QImage picture(size(), QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.setFont(font());
  PaintTo(painter);
  if (FDepthBar->width() > 0 && FDepthBar->height() > 0) {
    QImage bar(FDepthBar->size(), QImage::Format_RGB32);
    QPainter barPainter(&bar);
    barPainter.setFont(FDepthBar->font());
    FDepthBar->PaintTo(barPainter);
    barPainter.end();
    painter.drawImage(FDepthBar->pos(), bar);
  }
  return picture;
}

void TSpectroGram::CopyToClipboard()
{
  const QImage picture = RenderPicture();
  if (!picture.isNull())
    QGuiApplication::clipboard()->setImage(picture);
}

void TSpectroGram::PrintTo(QPrinter& printer)
{
  const QImage picture = RenderPicture();
  if (picture.isNull())
    return;
  PrintPage(printer, "The spectrogram could not be printed.", [&](QPainter& painter) {
    const int w = picture.width(), h = picture.height();
    const int pageW = printer.width(), pageH = printer.height();
    const QRect dest =
        w > h ? QRect(0, 0, pageW, MulDiv(pageW, h, w)) : QRect(0, 0, MulDiv(pageH, w, h), pageH);
    painter.drawImage(dest, picture);
  });
}

void TSpectroGram::PrintToPdf(const QString& fileName)
{
  PrintTo(*MakePdfPrinter(fileName));
}

void TSpectroGram::PrintImage()
{
  const std::unique_ptr<QPrinter> printer = ChoosePrinter(
      this, [](QWidget* parent) { return AskPdfFileName(parent, "spectrogram.pdf"); });
  if (printer)
    PrintTo(*printer);
}

void TSpectroGram::BeginBarDrag()
{
  auto* drag = new QDrag(FDepthBar);
  auto* mime = new QMimeData;
  mime->setData(BarMimeType, QByteArray());
  drag->setMimeData(mime);
  drag->exec(Qt::CopyAction);
}

void TSpectroGram::paintEvent(QPaintEvent* event)
{
  QPainter painter(this);
  // A new line changes the plot alone: the margins and labels stay.
  const QRect plot = PlotRect();
  if (plot.contains(event->rect()) && !plot.isEmpty()) {
    painter.save();
    PaintPlot(painter, plot.width(), plot.height());
    painter.restore();
  } else {
    PaintTo(painter);
  }
  TViewNavigator::DrawFocus(painter, *this);
}

void TSpectroGram::resizeEvent(QResizeEvent* event)
{
  QWidget::resizeEvent(event);
  UpdateMargins();
}

void TSpectroGram::changeEvent(QEvent* event)
{
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    UpdateMargins();
    update();
  }
}

void TSpectroGram::mouseMoveEvent(QMouseEvent* event)
{
  QWidget::mouseMoveEvent(event);
  const QPoint p = event->position().toPoint();
  Q_EMIT OnMouseMove(this, p.x(), p.y());
}

void TSpectroGram::leaveEvent(QEvent* event)
{
  QWidget::leaveEvent(event);
  Q_EMIT OnMouseLeave(this);
}

bool TSpectroGram::eventFilter(QObject* watched, QEvent* event)
{
  if (watched != FDepthBar)
    return QWidget::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto* e = static_cast<QDragMoveEvent*>(event);
    bool accept = false;
    const QPoint p = e->position().toPoint();
    if (OnBarDragOver)
      OnBarDragOver(FDepthBar, e->source(), p.x(), p.y(),
                    event->type() == QEvent::DragEnter ? TDragState::dsDragEnter
                                                       : TDragState::dsDragMove,
                    accept);
    if (accept)
      e->acceptProposedAction();
    else
      e->ignore();
    return true;
  }
  case QEvent::DragLeave:
    if (OnBarDragOver) {
      bool accept = false;
      OnBarDragOver(FDepthBar, nullptr, -1, -1, TDragState::dsDragLeave, accept);
    }
    return true;
  case QEvent::Drop: {
    auto* e = static_cast<QDropEvent*>(event);
    const QPoint p = e->position().toPoint();
    Q_EMIT OnBarDragDrop(FDepthBar, e->source(), p.x(), p.y());
    e->acceptProposedAction();
    return true;
  }
  default:
    return QWidget::eventFilter(watched, event);
  }
}

} // namespace duv
