// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: a subcommand runs headless; with no arguments, or a file to
// open, the main window opens.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SAMain.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <iostream>
#include <memory>

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
  // The main window makes its two dialogs after itself; all live until the
  // program ends.
  duv::TForm1 form;
  duv::StartWindow(form, path);
  return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
  duv::ReserveStandardStreams();
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);
  if (args.isEmpty() || duv::IsFileArgument(args))
    return runWindow(argc, argv, args.value(0));
  // A command that draws needs fonts, and so a GUI application, but never a
  // display: it runs on the offscreen platform wherever it is started.
  std::unique_ptr<QCoreApplication> app;
  if (duv::CommandNeedsGui(args.front())) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries the command's own messages: not the notes of
    // a platform no one sees (a missing runtime folder, say).
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << text.toStdString() << "\n";
    });
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  QCoreApplication::setApplicationName(QStringLiteral("duvovovi"));
  QCoreApplication::setApplicationVersion(QStringLiteral(DUVOVOVI_VERSION));
  // Output that did not arrive (a full disk, a closed standard output) is a
  // failure, not exit 0 with an empty file.
  duv::TStandardOutput output;
  std::ostream out(&output);
  if (args.front() == "--version") {
    out << "duvovovi " DUVOVOVI_VERSION "\n";
    return output.Finish(0, std::cerr);
  }
  return output.Finish(duv::RunCommandLine(args, out, std::cerr), std::cerr);
}
