// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartUp.h"

#include "app/CommandLine.h"
#include "wavefile/SoundDecoder.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <iostream>

namespace duv {

bool IsFileArgument(const QStringList& Args)
{
  if (Args.size() != 1 || Args[0].startsWith(QLatin1Char('-')))
    return false;
  const QString& a = Args[0];
  // Subcommands are plain words; a launcher passes a full path.
  for (const QString& pattern : SoundFilePatterns())
    if (a.endsWith(pattern.mid(1), Qt::CaseInsensitive)) // "*.flac": ".flac"
      return true;
  return a.contains(QLatin1Char('/')) || QFileInfo::exists(a);
}

QString MissingDisplayMessage()
{
  // A platform chosen on purpose (offscreen, vnc, wayland...) is trusted.
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return {};
  const QString display = qEnvironmentVariable("DISPLAY");
  if (!display.isEmpty()) {
    // A local X display (":0", "unix:0") has its socket in /tmp/.X11-unix;
    // a remote one (ssh -X, "localhost:10.0") is left for Qt to reach.
    const int colon = display.lastIndexOf(QLatin1Char(':'));
    const QString host = display.left(colon);
    if (colon < 0 || !(host.isEmpty() || host == QLatin1String("unix")))
      return {};
    const QString number = display.mid(colon + 1).section(QLatin1Char('.'), 0, 0);
    if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + number))
      return {};
    return QStringLiteral("duvovovi: the display %1 cannot be reached; start the program on a "
                          "desktop, or run it under a virtual display with 'xvfb-run "
                          "scripts/run' or over a remote desktop (ssh -X). The subcommands "
                          "(scripts/run --help) need no display.")
        .arg(display);
  }
  return QStringLiteral("duvovovi: no display was found; start the program on a desktop, or run "
                        "it under a virtual display with 'xvfb-run scripts/run' or over a remote "
                        "desktop (ssh -X). The subcommands (scripts/run --help) need no display.");
}

bool RunsInGuiPart(const QStringList& Args)
{
  return Args.isEmpty() || IsFileArgument(Args) || CommandNeedsGui(Args.front());
}

QStringList GuiPartCandidates()
{
  // The executable's own folder, whatever it was started as.
  const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  const QDir dir = QFileInfo(self).absoluteDir();
  const QString name = QStringLiteral(DUVOVOVI_GUI_PART_NAME);
  return {QDir::cleanPath(dir.filePath(QStringLiteral(DUVOVOVI_GUI_PART_DIR) + '/' + name)),
          dir.filePath(name)};
}

int RunGuiPart(int argc, char** argv)
{
  const QStringList candidates = GuiPartCandidates();
  QString path;
  for (const QString& c : candidates)
    if (QFileInfo(c).isFile()) {
      path = c;
      break;
    }
  const auto fail = [](const QString& text) {
    std::cerr << "duvovovi: " << text.toStdString()
              << "\nThe commands info, spectrum, peaks, note, bands and measure work without "
                 "it; reinstalling duvovovi restores it.\n";
    return int(ExitFileError);
  };
  if (path.isEmpty())
    return fail(QStringLiteral("the graphical part of the program (the window and the "
                               "spectrogram and record commands) is missing: found neither %1")
                    .arg(candidates.join(QStringLiteral(" nor "))));
  // Every symbol resolved now, so that a part built against other
  // libraries fails here with the loader's message rather than later.
  QLibrary part(path);
  part.setLoadHints(QLibrary::ResolveAllSymbolsHint);
  if (!part.load())
    return fail(QStringLiteral("the graphical part of the program cannot be loaded: %1")
                    .arg(part.errorString()));
  const auto version = reinterpret_cast<TGuiVersion>(part.resolve(GuiVersionSymbol));
  const auto main = reinterpret_cast<TGuiMain>(part.resolve(GuiMainSymbol));
  if (!version || !main)
    return fail(QStringLiteral("%1 is not the graphical part of this program").arg(path));
  if (qstrcmp(version(), DUVOVOVI_VERSION) != 0)
    return fail(QStringLiteral("the graphical part of the program (%1) is from version %2, "
                               "the program is version %3")
                    .arg(path, QString::fromLatin1(version()), QStringLiteral(DUVOVOVI_VERSION)));
  // The part stays loaded until the process ends: its objects may outlive
  // this call in static destructors.
  return main(argc, argv);
}

} // namespace duv
