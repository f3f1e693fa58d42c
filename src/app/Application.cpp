#include "app/Application.h"

#include "app/SAMain.h"

#include <QFileInfo>
#include <QMessageBox>
#include <exception>

namespace duv {

std::function<void(const QString&)> TApplication::ShowException = [](const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
};

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    if (ShowException)
      ShowException(QString::fromUtf8(e.what()));
  } catch (...) {
    if (ShowException)
      ShowException(QStringLiteral("An unexpected error occurred."));
  }
  return false;
}

void StartWindow(TForm1& Form, const QString& Path)
{
  Form.show();
  if (Path.isEmpty())
    return;
  try {
    Form.OpenWaveFile(QFileInfo(Path).absoluteFilePath());
  } catch (const std::exception& e) {
    if (TApplication::ShowException)
      TApplication::ShowException(QString::fromUtf8(e.what()));
  }
}

} // namespace duv
