// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ViewSettings.h"

#include "analysis/SAGlobal.h"
#include "analysis/TraceHold.h"
#include "app/SAMain.h"
#include "app/pages/BandsPage.h"
#include "app/pages/GraphPage.h"
#include "app/pages/MeasurePanel.h"
#include "app/pages/Measurement.h"
#include "app/pages/RealTimePage.h"
#include "app/pages/SAGlobalView.h"
#include "app/pages/ScopeBand.h"
#include "app/pages/SpectrogramPage.h"
#include "app/pages/WaveFilePage.h"
#include "controls/ChmHelper.h"
#include "controls/Realspin.h"
#include "spectrogram/DepthColors.h"
#include "support/IniSection.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <cmath>
#include <optional>

namespace duv {

namespace {

const QString Section = QStringLiteral("Settings");

// The trace list's modes by the names it shows.
constexpr std::pair<TTraceMode, const char*> TraceNames[] = {{TTraceMode::Live, "Live"},
                                                             {TTraceMode::Average, "Average"},
                                                             {TTraceMode::PeakHold, "Peak Hold"}};

// An INI file gives back text: only "true" and "false" are answers.
std::optional<bool> ToBool(const QVariant& v)
{
  if (v.typeId() == QMetaType::Bool)
    return v.toBool();
  const QString t = v.toString().trimmed().toLower();
  if (t == QLatin1String("true"))
    return true;
  if (t == QLatin1String("false"))
    return false;
  return std::nullopt;
}

std::optional<int> ToInt(const QVariant& v)
{
  bool ok = false;
  const int i = v.toString().trimmed().toInt(&ok);
  return ok ? std::optional<int>(i) : std::nullopt;
}

std::optional<double> ToNumber(const QVariant& v)
{
  bool ok = false;
  const double d = v.toString().trimmed().toDouble(&ok);
  return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

void SetPage(QTabWidget& Pages, const QVariant& v)
{
  if (const auto i = ToInt(v); i && *i >= 0 && *i < Pages.count())
    Pages.setCurrentIndex(*i);
}

// The room every screen offers together.
QRect DesktopRoom()
{
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableVirtualGeometry() : QRect();
}

// The sizes a splitter's saved state holds, read without trusting its count:
// Qt's own reading allocates whatever the count says.
std::optional<std::vector<qint64>> SplitterSizes(const QByteArray& State)
{
  QDataStream in(State);
  in.setVersion(QDataStream::Qt_5_0);
  qint32 marker = 0, version = 0;
  quint32 count = 0;
  in >> marker >> version >> count;
  if (in.status() != QDataStream::Ok || marker != 0xff ||
      count > quint32(State.size() - in.device()->pos()) / 4)
    return std::nullopt;
  std::vector<qint64> sizes;
  for (quint32 i = 0; i < count; ++i) {
    qint32 size = 0;
    in >> size;
    sizes.push_back(size);
  }
  return sizes;
}

// Whether a splitter's saved state fits the screens: sizes of 2^31 made a
// window of a gigabyte that took seconds to start and had no room left for
// the views.
bool SplitterStateFits(const QSplitter& Splitter, const QByteArray& State)
{
  const auto sizes = SplitterSizes(State);
  if (!sizes || qsizetype(sizes->size()) != Splitter.count())
    return false;
  const QRect room = DesktopRoom();
  const qint64 extent = Splitter.orientation() == Qt::Horizontal ? room.width() : room.height();
  qint64 total = 0;
  for (const qint64 size : *sizes) {
    if (size < 0 || size > extent)
      return false;
    total += size;
  }
  return total <= extent;
}

// Whether a window's saved geometry fits the screens: its size within their
// room, and its frame on one of them.
bool GeometryFits(const QByteArray& Geometry)
{
  QDataStream in(Geometry);
  in.setVersion(QDataStream::Qt_4_0);
  quint32 magic = 0;
  quint16 major = 0, minor = 0;
  qint32 frame[4] = {}, normal[4] = {}; // left, top, right, bottom
  in >> magic >> major >> minor;
  for (qint32& c : frame)
    in >> c;
  for (qint32& c : normal)
    in >> c;
  if (in.status() != QDataStream::Ok || magic != 0x1D9D0CB)
    return false;
  const QRect room = DesktopRoom();
  const qint64 width = qint64(normal[2]) - normal[0] + 1,
               height = qint64(normal[3]) - normal[1] + 1;
  if (width <= 0 || height <= 0 || width > room.width() || height > room.height() ||
      frame[2] < frame[0] || frame[3] < frame[1])
    return false;
  const QRect placed(QPoint(frame[0], frame[1]), QPoint(frame[2], frame[3]));
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(placed))
      return true;
  return false;
}

TViewSetting SplitterRow(const QString& Name, const std::function<QSplitter&(TForm1&)>& Of,
                         const std::function<void(TForm1&)>& Design)
{
  return {Name, [Of](TForm1& f) -> QVariant { return Of(f).saveState(); },
          [Of, Design](TForm1& f, const QVariant& v) {
            // restoreState refuses what it cannot read, but not sizes that
            // do not fit.
            const QByteArray state = v.toByteArray();
            if (!v.isValid() || !SplitterStateFits(Of(f), state) || !Of(f).restoreState(state))
              Design(f);
          }};
}

// The axis options both view pages offer: a logarithmic frequency axis and
// round ticks.
template <typename Page>
void AddAxisOptions(std::vector<TViewSetting>& Rows, const QString& Prefix, Page& (TForm1::*Of)())
{
  Rows.push_back({Prefix + QStringLiteral("LogFrequency"),
                  [Of](TForm1& f) -> QVariant { return (f.*Of)().LogFrequency(); },
                  [Of](TForm1& f, const QVariant& v) {
                    if (const auto b = ToBool(v))
                      (f.*Of)().SetLogFrequency(*b);
                  }});
  Rows.push_back({Prefix + QStringLiteral("RoundTicks"),
                  [Of](TForm1& f) -> QVariant { return (f.*Of)().RoundTicks(); },
                  [Of](TForm1& f, const QVariant& v) {
                    if (const auto b = ToBool(v))
                      (f.*Of)().SetRoundTicks(*b);
                  }});
}

} // namespace

// A friend of the window: the geometry rows reach its splitters and its
// design sizes.
std::vector<TViewSetting> MakeViewSettingsTable()
{
  const auto design = [](TForm1& f) { f.ApplyDesignScale(); };
  std::vector<TViewSetting> rows = {
      {QStringLiteral("CaptureFormat"),
       [](TForm1& f) -> QVariant { return f.RealTimePage().FormatName(); },
       [](TForm1& f, const QVariant& v) { f.RealTimePage().SetFormatName(v.toString()); }},
      {QStringLiteral("BufferSize"),
       [](TForm1& f) -> QVariant { return f.RealTimePage().BufferSize(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto n = ToInt(v); n && IsBufferSize(*n))
           f.RealTimePage().SetBufferSize(*n);
       }},
      {QStringLiteral("FileBufferSize"),
       [](TForm1& f) -> QVariant { return f.WaveFilePage().BufferSize(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto n = ToInt(v); n && IsBufferSize(*n))
           f.WaveFilePage().SetBufferSize(*n);
       }},
      {QStringLiteral("Window"),
       [](TForm1& f) -> QVariant { return WindowCaption(f.GraphPage().SpectrumView().Window()); },
       [](TForm1& f, const QVariant& v) {
         for (TWindowKind w : AllWindows)
           if (WindowCaption(w) == v.toString())
             f.GraphPage().SetWindow(w);
       }},
      {QStringLiteral("Trace"),
       [](TForm1& f) -> QVariant {
         for (const auto& [mode, name] : TraceNames)
           if (mode == f.GraphPage().SpectrumView().Hold().Mode())
             return QString::fromLatin1(name);
         return {};
       },
       [](TForm1& f, const QVariant& v) {
         for (const auto& [mode, name] : TraceNames)
           if (QLatin1String(name) == v.toString())
             f.GraphPage().SetTraceMode(mode);
       }},
      {QStringLiteral("AverageTime"),
       [](TForm1& f) -> QVariant { return f.GraphPage().SpectrumView().Hold().TimeConstant(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto t = ToNumber(v))
           f.GraphPage().SetAverageTime(*t); // the spin keeps it within its limits
       }},
      {QStringLiteral("ColorScheme"),
       [](TForm1& f) -> QVariant {
         const int i = f.SpectrogramPage().ColorScheme();
         return i >= 0 && i < int(std::size(ColorSchemes))
                    ? QString::fromLatin1(ColorSchemes[i].Caption)
                    : QString();
       },
       [](TForm1& f, const QVariant& v) {
         for (int i = 0; i < int(std::size(ColorSchemes)); ++i)
           if (QLatin1String(ColorSchemes[i].Caption) == v.toString())
             f.SpectrogramPage().SetColorScheme(i);
       }},
      {QStringLiteral("TimeSpan"),
       [](TForm1& f) -> QVariant { return f.SpectrogramPage().TimeSpan().Value(); },
       [](TForm1& f, const QVariant& v) {
         TRealSpin& spin = f.SpectrogramPage().TimeSpan();
         if (const auto t = ToNumber(v); t && *t != spin.Value())
           spin.SetValue(*t); // within 1 .. 600 s
       }},
      {QStringLiteral("Bands"),
       [](TForm1& f) -> QVariant { return f.Measurement().BandsPage().Fraction(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto n = ToInt(v); n && (*n == OctaveFraction || *n == ThirdOctaveFraction))
           f.Measurement().BandsPage().SetFraction(*n);
       }},
      {QStringLiteral("Measure"),
       [](TForm1& f) -> QVariant { return f.Measurement().Panel().Measuring(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto b = ToBool(v))
           f.Measurement().Panel().SetMeasuring(*b);
       }},
      {QStringLiteral("HistoryMinutes"),
       [](TForm1& f) -> QVariant { return f.RealTimePage().HistoryMinutes(); },
       [](TForm1& f, const QVariant& v) {
         if (const auto m = ToInt(v))
           f.RealTimePage().SetHistoryMinutes(*m); // within 1 .. 60
       }},
      {QStringLiteral("InputPage"),
       [](TForm1& f) -> QVariant { return f.InputPages().currentIndex(); },
       [](TForm1& f, const QVariant& v) { SetPage(f.InputPages(), v); }},
      {QStringLiteral("ViewPage"),
       [](TForm1& f) -> QVariant { return f.ViewPages().currentIndex(); },
       [](TForm1& f, const QVariant& v) { SetPage(f.ViewPages(), v); }},
      {QStringLiteral("Geometry"), [](TForm1& f) -> QVariant { return f.saveGeometry(); },
       [](TForm1& f, const QVariant& v) {
         const QByteArray geometry = v.toByteArray();
         if (!v.isValid() || !GeometryFits(geometry) || !f.restoreGeometry(geometry))
           f.ResizeToDesign();
       }},
      SplitterRow(
          QStringLiteral("MainSplitter"), [](TForm1& f) -> QSplitter& { return *f.MainSplitter; },
          design),
      SplitterRow(
          QStringLiteral("DisplaySplitter"),
          [](TForm1& f) -> QSplitter& { return *f.DisplaySplitter; }, design),
      SplitterRow(
          QStringLiteral("ScopeSplitter"),
          [](TForm1& f) -> QSplitter& { return f.ScopeBand().GraphSplitter(); }, design),
      {QStringLiteral("HelpWindowSize"),
       [](TForm1&) -> QVariant { return THelpWindow::RememberedSize(); },
       [](TForm1&, const QVariant& v) { THelpWindow::SetRememberedSize(v.toSize()); }},
  };
  AddAxisOptions(rows, QStringLiteral("Graph"), &TForm1::GraphPage);
  AddAxisOptions(rows, QStringLiteral("Spectrogram"), &TForm1::SpectrogramPage);
  return rows;
}

const std::vector<TViewSetting>& ViewSettings()
{
  static const std::vector<TViewSetting> table = MakeViewSettingsTable();
  return table;
}

QVariantMap ReadViewSettings(TForm1& Form)
{
  QVariantMap values;
  for (const TViewSetting& s : ViewSettings())
    values.insert(s.Name, s.Read(Form));
  return values;
}

void WriteViewSettings(TForm1& Form, const QVariantMap& Values)
{
  for (const TViewSetting& s : ViewSettings())
    if (Values.contains(s.Name))
      s.Write(Form, Values.value(s.Name));
}

QVariantMap LoadSettingsSection(const QString& IniPath)
{
  const QFileInfo info(IniPath);
  // Not even opened when it is not a regular file: a FIFO would block.
  if (!info.isFile() || !info.isReadable())
    return {};
  QSettings ini(IniPath, QSettings::IniFormat);
  if (ini.status() != QSettings::NoError)
    return {};
  QVariantMap values;
  ini.beginGroup(Section);
  for (const QString& key : ini.childKeys())
    values.insert(key, ini.value(key));
  return values;
}

bool SaveSettingsSection(const QString& IniPath, const QVariantMap& Values)
{
  return SaveIniSection(IniPath, Section, Values);
}

} // namespace duv
