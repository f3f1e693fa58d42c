// Start-up: a subcommand runs headless; with no arguments the main window
// opens.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/SAMain.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <iostream>
#include <memory>

namespace {

int runWindow(int argc, char** argv)
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
  // The main window makes its two dialogs after itself; all live until the
  // program ends.
  duv::TForm1 form;
  form.show();
  return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
  if (argc <= 1)
    return runWindow(argc, argv);
  // A command that draws needs fonts, and so a GUI application, but never a
  // display: it runs on the offscreen platform wherever it is started.
  std::unique_ptr<QCoreApplication> app;
  if (duv::CommandNeedsGui(QString::fromLocal8Bit(argv[1]))) {
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
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (args.front() == "--version") {
    std::cout << "duvovovi " DUVOVOVI_VERSION "\n";
    return 0;
  }
  return duv::RunCommandLine(args, std::cout, std::cerr);
}
