// SPDX-License-Identifier: GPL-3.0-or-later
// The GUI part of the program, a module the executable loads on demand
// (app/StartUp.h): the main window, the commands that draw, which need
// Qt Gui's fonts though no display, and `record`, which needs sound devices.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/RecordCommand.h"
#include "app/SAMain.h"
#include "app/StartUp.h"
#include "app/StopSignals.h"
#include "spectrogram/SpectrogramPicture.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <type_traits>

namespace {

int runWindow(int argc, char** argv, const QString& path)
{
  const QString missing = duv::MissingDisplayMessage();
  if (!missing.isEmpty()) {
    std::cerr << missing.toStdString() << "\n";
    return 1;
  }
  duv::TApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  QApplication::setApplicationDisplayName(QStringLiteral("Duvovovi"));
  // The desktop matches the window to its launcher and icon by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("duvovovi"));
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/duvovovi-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  duv::InstallWindowMessages();
  // SIGINT and SIGTERM (a logout, a service manager, Ctrl+C in the terminal
  // it was started from) close the window as its Exit command does, so what
  // closing saves is saved; a dialog open over it is closed first.
  duv::TStopSignals stops;
  QObject::connect(&stops, &duv::TStopSignals::Stop, &app, [] {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
  });
  int code = 0;
  {
    // The main window makes its two dialogs after itself; all live until
    // the event loop ends.
    duv::TForm1 form;
    duv::StartWindow(form, path);
    code = QApplication::exec();
  }
  // The window has stopped capture and playback and saved what it keeps;
  // its sound devices wait for deleteLater: delete them now, while the
  // sound backend's thread is whole. Then end before the backend's own
  // teardown, which in Qt 6.4 crashes about one exit in a hundred on
  // PulseAudio and PipeWire alike, after all the work is done.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  std::cout.flush();
  std::cerr.flush();
  std::_Exit(code);
}

// `record` needs the sound server, not the window system.
int runRecordCommand(int argc, char** argv, const QStringList& args)
{
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::cerr << text.toStdString() << "\n";
  });
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  duv::RecordCommand = duv::RunRecordCommand;
  const int code = duv::RunCommandLine(args, std::cout, std::cerr);
  // The reader hands its sound source to deleteLater, and no event loop
  // turns again: delete it now, while the application and the sound
  // backend's thread are whole.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // The recording is written and closed by now. Qt 6.4's sound backend
  // tears its PulseAudio main loop down at the process's end and, on
  // PipeWire, sometimes crashes there (a few exits in a hundred), which
  // would turn a finished recording into a failed command: end here,
  // before any of that teardown runs.
  std::cout.flush();
  std::cerr.flush();
  std::_Exit(code);
}

// A command that draws runs on the offscreen platform wherever it is
// started.
int runDrawingCommand(int argc, char** argv, const QStringList& args)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Standard error carries the command's own messages: not the notes of a
  // platform no one sees (a missing runtime folder, say).
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::cerr << text.toStdString() << "\n";
  });
  QGuiApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  duv::SpectrogramPngWriter = duv::WriteSpectrogramPng;
  return duv::RunCommandLine(args, std::cout, std::cerr);
}

} // namespace

extern "C" Q_DECL_EXPORT const char* duvovovi_gui_version()
{
  return DUVOVOVI_VERSION;
}

extern "C" Q_DECL_EXPORT int duvovovi_gui_main(int argc, char** argv)
{
  static_assert(std::is_same_v<decltype(&duvovovi_gui_main), duv::TGuiMain>);
  static_assert(std::is_same_v<decltype(&duvovovi_gui_version), duv::TGuiVersion>);
  try {
    QStringList args;
    for (int i = 1; i < argc; ++i)
      args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty() || duv::IsFileArgument(args))
      return runWindow(argc, argv, args.value(0));
    if (args.front() == QLatin1String("record"))
      return runRecordCommand(argc, argv, args);
    return runDrawingCommand(argc, argv, args);
  } catch (const std::exception& e) {
    // Nothing may unwind into the executable, which knows nothing of the
    // part's exceptions.
    std::cerr << "duvovovi: " << e.what() << "\n";
    return 1;
  }
}
