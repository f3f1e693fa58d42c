// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrogram/Spectrogram.h"
#include "support/UiSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace duv;

namespace {
// A spectrogram on the 33-colour table over -96 .. 0 dB: a value -3k + 1
// lies in band k.
struct Fixture
{
  TSpectroGram spectro;
  explicit Fixture(int w = 4, int h = 3)
  {
    spectro.SetColorCount(TColorDepth::dcTemp32);
    spectro.SetImageSize(w, h);
    spectro.SetDepthRange({-96, 0});
  }
  QRgb Band(int k) const
  {
    const TColor c = spectro.DepthBar()->Edge(k).Color;
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
  }
  std::vector<QRgb> Row(int r) const
  {
    const QImage img = spectro.Image();
    std::vector<QRgb> row;
    for (int x = 0; x < img.width(); ++x)
      row.push_back(img.pixel(x, r));
    return row;
  }
};

double InBand(int k)
{
  return -3.0 * k + 1;
}

QImage Render(TSpectroGram& s)
{
  QImage img(s.size(), QImage::Format_RGB32);
  QPainter p(&img);
  p.setFont(s.font());
  s.PaintTo(p);
  return img;
}

const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);
} // namespace

// Guards line placement and scrolling: the new line at the bottom, black above,
// the first line gone after h more, and lines on an empty image dropped.
TEST(SpectroGram, AddLinePlacesAndScrolls)
{
  Fixture f(4, 3);
  const std::vector<double> a{InBand(1), InBand(2), InBand(3), InBand(4)};
  f.spectro.AddLine(a, 3);
  EXPECT_EQ(f.Row(0), std::vector<QRgb>(4, Black));
  EXPECT_EQ(f.Row(1), std::vector<QRgb>(4, Black));
  const auto first = f.Row(2);
  EXPECT_EQ(first[0], f.Band(1));
  const std::vector<double> b(4, InBand(9));
  f.spectro.AddLine(b, 3);
  EXPECT_EQ(f.Row(1), first);
  EXPECT_EQ(f.Row(2), std::vector<QRgb>(4, f.Band(9)));
  f.spectro.AddLine(b, 3);
  EXPECT_EQ(f.Row(0), first);
  f.spectro.AddLine(b, 3);
  EXPECT_EQ(f.Row(0), std::vector<QRgb>(4, f.Band(9))); // the first line has left
  // Out-of-band values are black; an index past the array is held to it.
  f.spectro.AddLine(std::vector<double>{5.0, -200.0}, 99);
  EXPECT_EQ(f.Row(2), (std::vector<QRgb>{Black, Black, Black, Black}));

  TSpectroGram empty;
  empty.AddLine(a, 3); // no image yet
  empty.SetImageSize(8, 0);
  empty.AddLine(a, 3); // height 0: dropped
  empty.SetImageSize(8, 2);
  empty.AddLine({}, 3); // no values
  EXPECT_EQ(empty.Image().pixel(3, 1), Black);
}

// Guards the nearest-index sampling with ties to even, repeating and skipping.
TEST(SpectroGram, AddLineSamplesByIndex)
{
  std::vector<double> v;
  for (int k = 1; k <= 8; ++k)
    v.push_back(InBand(k));
  Fixture f4(4, 1);
  f4.spectro.AddLine(v, 2); // round(0), round(0.5), round(1.0), round(1.5)
  EXPECT_EQ(f4.Row(0), (std::vector<QRgb>{f4.Band(1), f4.Band(1), f4.Band(2), f4.Band(3)}));
  Fixture f8(8, 1);
  f8.spectro.AddLine(v, 2);
  EXPECT_EQ(f8.Row(0), (std::vector<QRgb>{f8.Band(1), f8.Band(1), f8.Band(1), f8.Band(2),
                                          f8.Band(2), f8.Band(2), f8.Band(3), f8.Band(3)}));
  Fixture f2(2, 1);
  f2.spectro.AddLine(v, 7); // indices 0 and round(3.5) = 4
  EXPECT_EQ(f2.Row(0), (std::vector<QRgb>{f2.Band(1), f2.Band(5)}));
}

// Guards the cached columns and the fast colour search against plain per-pixel drawing.
TEST(SpectroGram, AddLineMatchesPlainDrawing)
{
  // Each line is drawn again pixel by pixel as the rule states it: the
  // nearest index by a rounding with ties to even, and the bands searched
  // one by one. Sizes change between lines, as the set-up does when the
  // frame length changes, and edges move, as the user drags them.
  Fixture f(4, 2);
  TColorBar& bar = *f.spectro.DepthBar();
  bar.resize(16, 135);
  for (int k = 0; k < bar.EdgeCount(); ++k) // a colour of its own for every band
    bar.SetEdgeColor(k, MakeColor(10 + k, 20 + 3 * k, 200 - k));
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> level(-110, 10);
  std::uniform_int_distribution<int> position(-20000, 120000);
  const struct
  {
    int width, last;
  } sizes[] = {{16384, 16383}, {16384, 16383}, {128, 127},   {128, 300},  {4, 2},
               {8, 2},         {2, 7},         {7, 7},       {300, 1023}, {1000, 255},
               {5, 0},         {333, 1000},    {8192, 8191}, {256, 16383}};
  int move = 0;
  for (const auto& size : sizes) {
    for (int line = 0; line < 3; ++line, ++move) {
      if (move % 4 == 3) // now and then beyond an end of the bar, out of order
        bar.SetEdgePosition(move % bar.EdgeCount(), position(gen));
      if (move == 30)
        bar.ResetSpacing();
      f.spectro.SetImageSize(size.width, 2);
      std::vector<double> values(std::size_t(size.last) + 1);
      for (double& v : values)
        v = level(gen);
      // Exact edge values, their neighbours and the odd values a frame can hold.
      for (int k = 0; k < bar.EdgeCount() && 3 * k + 2 < int(values.size()); ++k) {
        const double e = bar.Edge(k).Value;
        values[3 * k] = e;
        values[3 * k + 1] = std::nextafter(e, 1e9);
        values[3 * k + 2] = std::nextafter(e, -1e9);
      }
      values.back() = std::numeric_limits<double>::quiet_NaN();
      values[values.size() / 2] = -std::numeric_limits<double>::infinity();
      f.spectro.AddLine(values, size.last);

      const double ratio = double(size.last) / size.width;
      std::vector<QRgb> plain;
      for (int i = 0; i < size.width; ++i) {
        const int index = std::clamp(Round(i * ratio), 0, size.last);
        const TColor c = bar.Bands().ColorOf(values[std::size_t(index)]);
        plain.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
      }
      ASSERT_EQ(f.Row(1), plain) << size.width << " x " << size.last << " line " << line;
    }
  }
}

// Guards the ring of rows against a plain scroll: same image and same screen
// pixels after more lines than the height, at 1:1, at double size and shrunk.
TEST(SpectroGram, RingMatchesPlainScroll)
{
  const int w = 7, h = 5;
  Fixture f(w, h);
  QImage plain(w, h, QImage::Format_RGB32);
  plain.fill(Qt::black);
  for (int n = 0; n < 13; ++n) {
    std::vector<double> line; // w + 1 values on w pixels: column i shows value i
    for (int i = 0; i <= w; ++i)
      line.push_back(InBand(1 + (n * 3 + i) % 32));
    f.spectro.AddLine(line, w);
    std::memmove(plain.scanLine(0), plain.scanLine(1), std::size_t(w) * (h - 1) * 4);
    for (int i = 0; i < w; ++i)
      plain.setPixel(i, h - 1, f.Band(1 + (n * 3 + i) % 32));
  }
  EXPECT_EQ(f.spectro.Image(), plain);

  f.spectro.resize(w + 50, h + 30); // plot area exactly the image
  EXPECT_EQ(Render(f.spectro).copy(30, 10, w, h), plain);
  f.spectro.resize(2 * w + 50, 2 * h + 30);
  EXPECT_EQ(Render(f.spectro).copy(30, 10, 2 * w, 2 * h),
            plain.scaled(2 * w, 2 * h, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  // Shrunk to 3 x 2, each pixel shows what lies under its centre: columns
  // 1, 3, 5 and rows 1, 3, not those under its top left corner.
  f.spectro.resize(3 + 50, 2 + 30);
  const QImage small = Render(f.spectro).copy(30, 10, 3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(small.pixel(x, y), plain.pixel(2 * x + 1, 2 * y + 1)) << x << "," << y;
}

// Guards the geometry: plot area, white frame, bar layout, tick and label
// positions for a 470 x 300 plot.
TEST(SpectroGram, LayoutFrameAndLabels)
{
  Fixture f;
  f.spectro.resize(520, 330);
  f.spectro.SetXRange({10, 22050});
  f.spectro.SetYRange({5, 0});
  const QImage img = Render(f.spectro);
  EXPECT_EQ(f.spectro.DepthBar()->geometry(), QRect(502, 10, 16, 300));
  EXPECT_EQ(f.spectro.DepthBar()->EdgeCount(), 33);
  EXPECT_EQ(img.pixel(29, 9), White);
  EXPECT_EQ(img.pixel(500, 310), White);
  EXPECT_EQ(img.pixel(29, 200), White);
  EXPECT_EQ(img.pixel(30, 10), Black); // image starts inside the frame
  EXPECT_EQ(img.pixel(28, 200), Black);

  const QFontMetrics m(f.spectro.font());
  const int th = m.height();
  ASSERT_LT(th, 18);
  for (int x : {30, 124, 218, 312, 406, 500}) {
    EXPECT_EQ(img.pixel(x, 330 - 17), White) << x; // tick up to H - 18, end excluded
    EXPECT_EQ(img.pixel(x, 330 - 18), Black) << x;
  }
  const int ys[] = {10, 70, 130, 190, 250, 310};
  for (int i = 0; i < 6; ++i) {
    const int tw = m.horizontalAdvance(FormatFixed(5 - i, 1));
    ASSERT_LT(tw + 4, 27);
    EXPECT_EQ(img.pixel(tw + 4, ys[i]), White) << i; // from the text's end + 4
    EXPECT_EQ(img.pixel(26, ys[i]), White) << i;     // to x = 27, end excluded
    EXPECT_EQ(img.pixel(27, ys[i]), Black) << i;
  }
  // The first x label "10" is centred under x = 30, the last y label "0.0" on y = 310.
  auto whiteIn = [&img](QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        n += img.valid(x, y) && img.pixel(x, y) == White;
    return n;
  };
  const int tw = m.horizontalAdvance(FormatFixed(10, 0));
  EXPECT_GT(whiteIn(QRect(30 - tw / 2, 330 - th, tw, th)), 0);
  EXPECT_EQ(whiteIn(QRect(30 - tw / 2 - 8, 330 - th, 6, th)), 0);
  const int tw0 = m.horizontalAdvance(FormatFixed(0, 1));
  EXPECT_GT(whiteIn(QRect(1, 310 - th / 2, tw0, th)), 0);
}

// Guards the mouse mapping at both plot corners and its lack of clamping.
TEST(SpectroGram, PixelToValueCorners)
{
  Fixture f;
  f.spectro.resize(520, 330);
  f.spectro.SetXRange({10, 22050});
  f.spectro.SetYRange({60, 0});
  double x = 0, y = 0;
  f.spectro.PixelToValue(30, 10, x, y);
  EXPECT_DOUBLE_EQ(x, 10);
  EXPECT_DOUBLE_EQ(y, 60);
  f.spectro.PixelToValue(500, 310, x, y);
  EXPECT_DOUBLE_EQ(x, 22050);
  EXPECT_DOUBLE_EQ(y, 0);
  f.spectro.PixelToValue(0, 330, x, y);
  EXPECT_LT(x, 10);
  EXPECT_LT(y, 0);
}

namespace {
// Counts the paints of the widget it watches.
struct PaintSpy : QObject
{
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override
  {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};
} // namespace

// Guards the range setters: the labels show the ranges, so a new range
// repaints what shows it (the plot's axes, the bar's bands), and the range
// already held repaints nothing.
TEST(SpectroGram, RangeSettersRepaintOnChange)
{
  Fixture f;
  TSpectroGram& s = f.spectro;
  s.resize(520, 330);
  s.SetXRange({10, 22050});
  s.SetYRange({5, 0});
  PaintSpy plot;
  PaintSpy bar;
  s.installEventFilter(&plot);
  s.DepthBar()->installEventFilter(&bar);
  s.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
  QTest::qWait(20);
  const auto repaints = [](PaintSpy& spy, const std::function<void()>& change) {
    const int before = spy.paints;
    change();
    // Long enough for a requested paint to arrive, short for the waits
    // that expect none.
    return QTest::qWaitFor([&] { return spy.paints > before; }, 150);
  };
  EXPECT_FALSE(repaints(plot, [&] {
    s.SetXRange({10, 22050});
    s.SetYRange({5, 0});
  }));
  EXPECT_TRUE(repaints(plot, [&] { s.SetXRange({10, 11025}); }));
  EXPECT_EQ(s.XRange(), TRangePair(10, 11025));
  EXPECT_TRUE(repaints(plot, [&] { s.SetYRange({10, 0}); }));
  EXPECT_EQ(s.YRange(), TRangePair(10, 0));
  EXPECT_FALSE(repaints(bar, [&] { s.SetDepthRange({-96, 0}); }));
  EXPECT_TRUE(repaints(bar, [&] { s.SetDepthRange({-120, 0}); }));
}

// Guards the two setters that must not disturb an edited bar when unchanged.
TEST(SpectroGram, UnchangedSettersDoNothing)
{
  Fixture f;
  TColorBar* bar = f.spectro.DepthBar();
  bar->SetEdgeColor(3, clWhite);
  bar->SetEdgePosition(3, 12345);
  f.spectro.SetColorCount(TColorDepth::dcTemp32);
  EXPECT_EQ(bar->Edge(3).Color, clWhite);
  EXPECT_EQ(bar->Edge(3).Position, 12345);
  bar->SetRange(5, 1);
  f.spectro.SetDepthRange({-96, 0});
  EXPECT_DOUBLE_EQ(bar->Bands().TopValue(), 5);
  f.spectro.SetColorCount(TColorDepth::dc30);
  EXPECT_EQ(bar->EdgeCount(), 30);
  EXPECT_EQ(bar->Edge(3).Position, 3 * 100000 / 29);
  TSpectroGram fresh; // starts on the 24-colour table
  EXPECT_EQ(fresh.DepthBar()->EdgeCount(), 24);
}

// Guards the copied picture: spectrogram plus the bar with its selection
// marker, on the clipboard; and printing into a PDF file, or failing loudly.
// A device named as the PDF file was printed into: it is refused and left.
TEST(SpectroGram, CopyAndPrintHoldTheBar)
{
  Fixture f;
  f.spectro.resize(520, 330);
  TColorBar* bar = f.spectro.DepthBar();
  bar->SetSelected(3);
  f.spectro.CopyToClipboard();
  const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(copied.size(), QSize(520, 330));
  const int top = bar->EdgeY(2) + 1; // marker's top row, relative to the bar
  const QRgb band = f.Band(3);
  const QRgb inverted = qRgb(255 - qRed(band), 255 - qGreen(band), 255 - qBlue(band));
  const int x0 = 502 + 1 + ((1 + top) & 1); // first dotted pixel of that row
  EXPECT_EQ(copied.pixel(x0, 10 + top), inverted);
  EXPECT_EQ(copied.pixel(x0 + 1, 10 + top), band);
  EXPECT_EQ(copied.pixel(29, 9), White);

  QTemporaryDir dir;
  const QString file = dir.filePath("spectro.pdf");
  f.spectro.PrintToPdf(file);
  QFile pdf(file);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(4) == "%PDF");
  // A printer that fails is reported as the graph's print reports it.
  EXPECT_THROW(f.spectro.PrintToPdf(dir.filePath("no such folder/spectro.pdf")),
               std::runtime_error);
  // A null device of our own: the system's is not to be put at risk.
  const QString device = dir.filePath("null.pdf");
  if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
    return; // no right to make a device here
  try {
    f.spectro.PrintToPdf(device);
    ADD_FAILURE() << "the device was printed into";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(),
              "Cannot write file " + device.toStdString() + ": it is a device, not a regular file");
  }
  struct stat info;
  ASSERT_EQ(::stat(QFile::encodeName(device).constData(), &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

namespace {
struct DragSpy : TSpectroGram
{
  int drags = 0;
  using TSpectroGram::BarDragPending;
  void BeginBarDrag() override { ++drags; }
};
} // namespace

// Guards the bar wiring: forwarded selection, changing and drop events, and a
// drag of the bar only after the threshold and never from an edge press.
TEST(SpectroGram, ForwardsBarEvents)
{
  DragSpy s;
  s.resize(520, 330);
  TColorBar* bar = s.DepthBar();
  QObject* selected = nullptr;
  int changing = 0, drops = 0, dropY = -1;
  QObject::connect(&s, &TSpectroGram::OnBarSelect, [&](QObject* sender) { selected = sender; });
  QObject::connect(&s, &TSpectroGram::OnBarChanging, [&](QObject*, int, int, double) { ++changing; });
  QObject::connect(&s, &TSpectroGram::OnBarDragDrop, [&](QObject* sender, QObject*, int, int y) {
    EXPECT_EQ(sender, bar);
    ++drops;
    dropY = y;
  });
  const int d = QApplication::startDragDistance();
  const QPoint inBand(8, bar->EdgeY(4) + 3);
  QTest::mousePress(bar, Qt::LeftButton, {}, inBand);
  EXPECT_EQ(selected, bar);
  EXPECT_TRUE(s.BarDragPending());
  QTest::mouseMove(bar, inBand + QPoint(0, d - 1));
  EXPECT_EQ(s.drags, 0);
  QTest::mouseMove(bar, inBand + QPoint(0, d + 1));
  EXPECT_EQ(s.drags, 1);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, inBand + QPoint(0, d + 1));

  const QPoint onEdge(8, bar->EdgeY(6));
  QTest::mousePress(bar, Qt::LeftButton, {}, onEdge);
  EXPECT_FALSE(s.BarDragPending());
  QTest::mouseMove(bar, onEdge + QPoint(0, 3 * d));
  EXPECT_EQ(s.drags, 1);
  EXPECT_GE(changing, 1);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, onEdge + QPoint(0, 3 * d));

  int overs = 0;
  s.OnBarDragOver = [&](QObject* sender, QObject*, int, int y, TDragState state, bool& accept) {
    EXPECT_EQ(sender, bar);
    EXPECT_EQ(state, TDragState::dsDragEnter);
    EXPECT_EQ(y, 40);
    ++overs;
    accept = true;
  };
  QMimeData mime;
  QDragEnterEvent enter(QPoint(5, 40), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(bar, &enter);
  EXPECT_EQ(overs, 1);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 42), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(bar, &drop);
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(dropY, 42);
}

namespace {
void Wheel(QWidget& w, QPoint at, int delta, Qt::KeyboardModifiers mods = {})
{
  QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

double FrequencyAt(const TSpectroGram& s, int x)
{
  double f = 0, t = 0;
  s.PixelToValue(x, 50, f, t);
  return f;
}
} // namespace

// Guards the spectrogram's navigation of frequency: the wheel zooms about the
// pointer, in to one column at most; a drag moves the frequencies within the
// data; Shift and a drag zoom to the band; Home shows all again; time never
// moves. With "Log" the pixels map to frequencies on a log scale and the
// picture shows the column of the frequency under each pixel.
TEST(SpectroGram, FrequencyZoomPanAndLogAxis)
{
  Fixture f(100, 10); // 100 Hz a column
  TSpectroGram& s = f.spectro;
  s.resize(450 + 50, 200 + 30); // a plot of 450 x 200 from (30, 10)
  s.SetXRange({0, 10000});
  s.SetYRange({10, 0});
  s.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
  const QPoint at(30 + 90, 50);
  EXPECT_NEAR(FrequencyAt(s, at.x()), 2000, 1e-9);
  Wheel(s, at, 120);
  EXPECT_NEAR(s.FrequencyView().Max - s.FrequencyView().Min, 8000, 1e-9);
  EXPECT_NEAR(FrequencyAt(s, at.x()), 2000, 1e-9);
  for (int i = 0; i < 100; ++i)
    Wheel(s, at, 120);
  EXPECT_NEAR(s.FrequencyView().Max - s.FrequencyView().Min, 100, 1e-9);
  Wheel(s, at, 120, Qt::ControlModifier);
  EXPECT_EQ(s.YRange(), TRangePair(10, 0));
  QTest::keyClick(&s, Qt::Key_Home);
  EXPECT_EQ(s.FrequencyView().Min, 0);
  EXPECT_EQ(s.FrequencyView().Max, 10000);

  Wheel(s, QPoint(30 + 225, 50), 120); // 1000 .. 9000
  QTest::mousePress(&s, Qt::LeftButton, {}, at);
  QTest::mouseMove(&s, at + QPoint(45, 0)); // 800 Hz to the right
  QTest::mouseRelease(&s, Qt::LeftButton, {}, at + QPoint(45, 0));
  EXPECT_NEAR(s.FrequencyView().Min, 200, 1e-9);
  QTest::mousePress(&s, Qt::LeftButton, {}, at);
  QTest::mouseMove(&s, at + QPoint(200, 0));
  QTest::mouseRelease(&s, Qt::LeftButton, {}, at + QPoint(200, 0));
  EXPECT_EQ(s.FrequencyView().Min, 0); // no further than the data
  EXPECT_NEAR(s.FrequencyView().Max, 8000, 1e-9);
  QTest::mousePress(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(30 + 45, 20));
  QTest::mouseMove(&s, QPoint(30 + 90, 20));
  QTest::mouseRelease(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(30 + 90, 20));
  EXPECT_NEAR(s.FrequencyView().Min, 800, 1e-9);
  EXPECT_NEAR(s.FrequencyView().Max, 1600, 1e-9);

  // Log from the first column's width, 100 Hz, to 10 kHz: a decade in 225
  // pixels.
  s.SetLogFrequency(true);
  QTest::keyClick(&s, Qt::Key_Home);
  EXPECT_EQ(s.FrequencyView().Min, 100);
  EXPECT_NEAR(FrequencyAt(s, 30 + 225), 1000, 1e-9);
  std::vector<double> line(100);
  for (int c = 0; c < 100; ++c)
    line[std::size_t(c)] = InBand(1 + c % 32);
  s.AddLine(line, 99);
  const QImage img = Render(s), picture = s.Image();
  for (int x : {0, 112, 225, 337, 449}) {
    const double centre = std::pow(10.0, 2 + (x + 0.5) / 225);
    EXPECT_EQ(img.pixel(30 + x, 209), picture.pixel(int(centre / 100), 9)) << x;
  }
}

// Guards round ticks on the spectrogram: frequency and time at round values
// with "Hz" and "s", the colour bar's dB scale beside it from the floor to
// full scale with "dB", every label inside the control and painted.
TEST(SpectroGram, RoundTicksAndTheDecibelScale)
{
  Fixture f(100, 10);
  TSpectroGram& s = f.spectro;
  s.resize(500, 330);
  s.SetXRange({0, 22050});
  s.SetYRange({10, 0});
  s.SetRoundTicks(true);
  const QRect bar = s.DepthBar()->geometry();
  QStringList scale, time, freq;
  for (const TSpectroLabel& l : s.Axes().Labels) {
    EXPECT_TRUE(s.rect().contains(l.Rect)) << l.Text.toStdString();
    (l.Rect.left() > bar.right()         ? scale
     : l.Rect.right() < s.Margins().Left ? time
                                         : freq)
        << l.Text;
  }
  EXPECT_EQ(scale.join(' ').toStdString(), "−96 −84 −72 −60 −48 −36 −24 −12 dB");
  EXPECT_EQ(time.join(' ').toStdString(), "0 1 2 3 4 5 6 7 8 9 s");
  EXPECT_EQ(freq.front(), "0");
  EXPECT_EQ(freq.back(), "Hz");
  const QImage img = Render(s);
  for (const TSpectroLabel& l : s.Axes().Labels) {
    bool ink = false;
    for (int y = l.Rect.top(); y <= l.Rect.bottom() && !ink; ++y)
      for (int x = l.Rect.left(); x <= l.Rect.right() && !ink; ++x)
        ink = img.pixel(x, y) == White;
    EXPECT_TRUE(ink) << l.Text.toStdString();
  }
  s.SetRoundTicks(false);
  EXPECT_EQ(s.Margins().Right, 20); // the design's margins again
}
