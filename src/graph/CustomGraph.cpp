// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/Graphbox.h"

#include "graph/ViewNavigator.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace duv {

// --------------------------------------------------------------- TCustomGraph

TCustomGraph::TCustomGraph(QWidget* Parent) : QWidget(Parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  resize(90, 90);
  AskPdfFileName = [](QWidget* parent) { return duv::AskPdfFileName(parent, "graph.pdf"); };
}

TCustomGraph::~TCustomGraph() = default;

void TCustomGraph::SetGridColor(TColor Value)
{
  if (Assign(FGridColor, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetGraphBorder(int Value)
{
  if (Assign(FGraphBorder, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDecimals1(int Value)
{
  if (Assign(FDecimals1, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDecimals2(int Value)
{
  if (Assign(FDecimals2, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetDrawLastPixel(bool Value)
{
  if (Assign(FDrawLastPixel, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetColor(TColor Value)
{
  if (Assign(FColor, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetFontColor(TColor Value)
{
  if (Assign(FFontColor, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelOuter(TBevelCut Value)
{
  if (Assign(FBevelOuter, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelInner(TBevelCut Value)
{
  if (Assign(FBevelInner, Value))
    Changed(TChange::Paint);
}

void TCustomGraph::SetBevelWidth(int Value)
{
  if (Assign(FBevelWidth, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::SetBorderWidth(int Value)
{
  if (Assign(FBorderWidth, Value))
    Changed(TChange::Layout);
}

void TCustomGraph::Changed(TChange What)
{
  if (What == TChange::Layout)
    LayoutChanged();
  Invalidate();
}

void TCustomGraph::Invalidate()
{
  ++FRepaintRequests;
  FNeedRender = true;
  FBackgroundValid = false;
  FWholeRender = true;
  update();
}

void TCustomGraph::InvalidateData()
{
  ++FRepaintRequests;
  FNeedRender = true;
  // Only the plot is drawn and shown again, unless more is pending anyway.
  if (FWholeRender || FOverlaid)
    update();
  else
    update(DataRect());
}

void TCustomGraph::EndUpdate()
{
  FUpdating = false;
  InvalidateData();
}

void TCustomGraph::Clear()
{
  FStore.Clear();
  InvalidateData();
}

void TCustomGraph::AddPoint(int Series, const QString& Caption, double X, double Y, double Size,
                            TColor Color)
{
  if (FStore.Add(Series, Caption, X, Y, Size, Color) && !FUpdating)
    InvalidateData();
}

QRect TCustomGraph::InnerRect() const
{
  int inset = FBorderWidth;
  if (FBevelOuter != bvNone)
    inset += FBevelWidth;
  if (FBevelInner != bvNone)
    inset += FBevelWidth;
  return QRect(0, 0, width(), height()).adjusted(inset, inset, -inset, -inset);
}

void TCustomGraph::Paint(TGraphCanvas& Canvas)
{
  QPainter& p = Canvas.Painter();
  QRect r(0, 0, width(), height());
  p.fillRect(r, ToQColor(FColor));
  const auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone)
      return;
    QColor top = palette().color(QPalette::Dark);
    QColor bottom = palette().color(QPalette::Light);
    if (cut == bvRaised)
      std::swap(top, bottom);
    else if (cut == bvSpace)
      top = bottom = ToQColor(FColor);
    for (int i = 0; i < FBevelWidth && r.width() > 0 && r.height() > 0; ++i) {
      p.fillRect(r.left(), r.top(), r.width(), 1, top);
      p.fillRect(r.left(), r.top(), 1, r.height(), top);
      p.fillRect(r.left(), r.bottom(), r.width(), 1, bottom);
      p.fillRect(r.right(), r.top(), 1, r.height(), bottom);
      r.adjust(1, 1, -1, -1);
    }
  };
  bevel(FBevelOuter);
  r.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
  bevel(FBevelInner);

  const QRect inner = InnerRect();
  if (FColor == clWhite)
    Canvas.FrameRect(inner.left(), inner.top(), inner.left() + inner.width(),
                     inner.top() + inner.height(), clBlack);
  Canvas.BrushColor = FColor;
  Canvas.BrushClear = true;
}

void TCustomGraph::EnsureScreenSize()
{
  const qreal dpr = devicePixelRatioF();
  const QSize physical = (QSizeF(size()) * dpr).toSize().expandedTo(QSize(1, 1));
  if (FScreen.size() == physical && FScreen.devicePixelRatio() == dpr)
    return;
  FScreen = QImage(physical, QImage::Format_RGB32);
  FScreen.setDevicePixelRatio(dpr);
  FScreen.fill(Qt::white);
  FOverlaid = false;
  FBackgroundValid = false;
  FWholeRender = true;
  FNeedRender = true;
}

void TCustomGraph::RenderBackground()
{
  if (FBackground.size() != FScreen.size() || FBackground.format() != FScreen.format())
    FBackground = QImage(FScreen.size(), FScreen.format());
  FBackground.setDevicePixelRatio(FScreen.devicePixelRatio());
  QPainter p(&FBackground);
  p.setFont(font());
  TGraphCanvas canvas(p, FFontColor, FScreenPenWidth, &FBackground);
  Paint(canvas);
  DrawBackground(canvas);
  canvas.Flush();
  FBackgroundPenWidth = FScreenPenWidth;
  FBackgroundValid = true;
  FWholeRender = true;
}

void TCustomGraph::RenderScreen()
{
  // The frame and grid take the pen width the last points left, as one
  // drawing onto a kept canvas would.
  if (!FBackgroundValid || FBackgroundPenWidth != FScreenPenWidth ||
      FBackground.size() != FScreen.size())
    RenderBackground();
  // The background under everything drawn since, or under the points alone.
  const qsizetype line = FScreen.bytesPerLine();
  int top = 0, bottom = FScreen.height();
  qsizetype from = 0, bytes = line;
  if (!FWholeRender && !FOverlaid) {
    const qreal dpr = FScreen.devicePixelRatio();
    const QRect r = QRectF(QRectF(DataRect()).topLeft() * dpr, QSizeF(DataRect().size()) * dpr)
                        .toAlignedRect()
                        .intersected(FScreen.rect());
    top = r.top();
    bottom = r.isEmpty() ? top : r.bottom() + 1;
    from = qsizetype(r.left()) * 4;
    bytes = qsizetype(r.width()) * 4;
  }
  for (int y = top; y < bottom; ++y)
    std::memcpy(FScreen.scanLine(y) + from, FBackground.constScanLine(y) + from,
                std::size_t(bytes));
  FWholeRender = false;
  FOverlaid = false;

  QPainter p(&FScreen);
  p.setFont(font());
  TGraphCanvas canvas(p, FFontColor, FScreenPenWidth, &FScreen);
  canvas.BrushColor = FColor;
  canvas.BrushClear = true;
  canvas.PenColor = FGridColor;
  DrawForeground(canvas);
  canvas.Flush();
  FScreenPenWidth = canvas.PenWidth;
}

void TCustomGraph::BeginOverlay()
{
  if (FOverlaid || FScreen.isNull())
    return;
  if (FSnapshot.size() != FScreen.size() || FSnapshot.format() != FScreen.format())
    FSnapshot = QImage(FScreen.size(), FScreen.format());
  std::memcpy(FSnapshot.bits(), FScreen.constBits(), std::size_t(FScreen.sizeInBytes()));
  FSnapshot.setDevicePixelRatio(FScreen.devicePixelRatio());
  FOverlaid = true;
}

void TCustomGraph::RestoreImage()
{
  EnsureScreenSize();
  if (FOverlaid)
    std::memcpy(FScreen.bits(), FSnapshot.constBits(), std::size_t(FScreen.sizeInBytes()));
  FOverlaid = false;
  update();
}

void TCustomGraph::paintEvent(QPaintEvent* Event)
{
  EnsureScreenSize();
  if (FNeedRender) {
    FNeedRender = false;
    RenderScreen();
  }
  QPainter p(this);
  p.drawImage(Event->rect(), FScreen,
              QRectF(Event->rect().topLeft() * FScreen.devicePixelRatio(),
                     QSizeF(Event->rect().size()) * FScreen.devicePixelRatio()));
  TViewNavigator::DrawFocus(p, *this);
}

void TCustomGraph::resizeEvent(QResizeEvent* Event)
{
  QWidget::resizeEvent(Event);
  // Rendering sends the pending resize of a hidden widget again and again:
  // only a real change of size asks for a new drawing.
  if (size() == FLastSize)
    return;
  FLastSize = size();
  EnsureScreenSize();
  Changed(TChange::Layout);
  Q_EMIT OnResize(this);
}

void TCustomGraph::changeEvent(QEvent* Event)
{
  QWidget::changeEvent(Event);
  // The font sizes the margins and the labels; the locale writes the labels.
  if (Event->type() == QEvent::FontChange || Event->type() == QEvent::LocaleChange)
    Changed(TChange::Layout);
  else if (Event->type() == QEvent::PaletteChange)
    Changed(TChange::Paint);
}

void TCustomGraph::EmitMouse(TMouseKind Kind, QMouseEvent* Event)
{
  // Logical pixels, floored: on a scaled screen both device pixels of one
  // logical pixel read the same value as the plain screen does.
  const QPointF pos = Event->position();
  const int x = int(std::floor(pos.x())), y = int(std::floor(pos.y()));
  switch (Kind) {
  case TMouseKind::Down:
    Q_EMIT OnMouseDown(this, Event->button(), Event->modifiers(), x, y);
    break;
  case TMouseKind::Move:
    Q_EMIT OnMouseMove(this, Event->button(), Event->modifiers(), x, y);
    break;
  case TMouseKind::Up:
    Q_EMIT OnMouseUp(this, Event->button(), Event->modifiers(), x, y);
    break;
  }
}

void TCustomGraph::mousePressEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Down, Event);
}
void TCustomGraph::mouseMoveEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Move, Event);
}

void TCustomGraph::mouseReleaseEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Up, Event);
  if (rect().contains(Event->position().toPoint()))
    Q_EMIT OnClick(this);
}

void TCustomGraph::mouseDoubleClickEvent(QMouseEvent* Event)
{
  EmitMouse(TMouseKind::Down, Event);
  Q_EMIT OnDblClick(this);
}

void TCustomGraph::leaveEvent(QEvent* Event)
{
  QWidget::leaveEvent(Event);
  Q_EMIT OnMouseLeave(this);
}

QImage TCustomGraph::CopyImage()
{
  const QRect inner = InnerRect();
  QImage image(std::max(inner.width(), 1), std::max(inner.height(), 1), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setFont(QApplication::font()); // a fresh canvas's font, not the graph's
  TGraphCanvas canvas(p, clBlack, 1, &image);
  DrawTo(canvas);
  canvas.Flush();
  return image;
}

void TCustomGraph::CopyToClipboard()
{
  QGuiApplication::clipboard()->setImage(CopyImage());
}

void TCustomGraph::PrintTo(QPrinter& Printer)
{
  const QRect inner = InnerRect();
  const int w = inner.width();
  const int h = inner.height();
  if (w <= 0 || h <= 0)
    return;
  PrintPage(Printer, "The graph could not be printed.", [&](QPainter& p) {
    const QRect page = p.viewport();
    int destW = 0;
    int destH = 0;
    PrintPlacement(page.width(), page.height(), w, h, destW, destH);
    p.scale(double(destW) / w, double(destH) / h);
    // The picture is laid out in screen pixels and then stretched onto the
    // page, so its font is sized in those pixels too, not in printer points.
    QFont f = QApplication::font();
    f.setPixelSize(std::max(QFontInfo(QApplication::font()).pixelSize(), 1));
    p.setFont(f);
    TGraphCanvas canvas(p, clBlack, 1);
    canvas.FillRect(0, 0, w, h, FColor);
    DrawTo(canvas);
  });
}

void TCustomGraph::Print()
{
  const std::unique_ptr<QPrinter> printer = ChoosePrinter(this, AskPdfFileName);
  if (printer) // none: the user cancelled the PDF file dialog
    PrintTo(*printer);
}

} // namespace duv
