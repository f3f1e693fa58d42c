// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/SAMain.h"
#include "wavefile/SoundDecoder.h"

#include <QFileInfo>
#include <QMessageBox>
#include <exception>

namespace duv {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportException(std::current_exception());
  }
  return false;
}

void StartWindow(TForm1& Form, const QString& Path)
{
  Form.show();
  if (Path.isEmpty())
    return;
  Guarded([&] { Form.OpenWaveFile(QFileInfo(Path).absoluteFilePath()); })();
}

} // namespace duv
