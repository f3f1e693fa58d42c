// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/InputChooser.h"

#include "audio/DefaultInput.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMediaDevices>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace duv {

TInputChooser::TInputChooser(const QAudioDevice& Current, QWidget* Parent) : QDialog(Parent)
{
  setWindowTitle(QStringLiteral("Choose Input"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Capture from:"), this));
  FList = new QListWidget(this);
  layout->addWidget(FList);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  FOk = buttons->button(QDialogButtonBox::Ok);
  FSettings = buttons->addButton(QStringLiteral("Sound Settings..."), QDialogButtonBox::ActionRole);
  const bool haveTool = !SettingsProgram().isEmpty();
  FSettings->setEnabled(haveTool);
  FSettings->setToolTip(haveTool ? QStringLiteral("Open the sound server's volume control")
                                 : QStringLiteral("pavucontrol is not installed"));
  // A disabled button alone does not say why; the reason stands beside it.
  FSettingsNote = new QLabel(QStringLiteral("Sound Settings needs pavucontrol, which is not "
                                            "installed."),
                             this);
  FSettingsNote->setWordWrap(true);
  FSettingsNote->setVisible(!haveTool);
  layout->addWidget(FSettingsNote);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(FSettings, &QPushButton::clicked, this, &TInputChooser::StartSettings);
  connect(FList, &QListWidget::currentRowChanged, this,
          [this](int row) { FOk->setEnabled(row >= 0); });
  connect(FList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

  // Inputs plugged in or removed while the dialog is open show up at once.
  auto* devices = new QMediaDevices(this);
  connect(devices, &QMediaDevices::audioInputsChanged, this, [this] { Fill(SelectedDevice()); });

  Fill(Current.isNull() ? DefaultInput() : Current);
}

void TInputChooser::Fill(const QAudioDevice& select)
{
  FDevices = QMediaDevices::audioInputs();
  FList->clear();
  const QAudioDevice defaultInput = DefaultInput();
  int row = -1;
  for (int i = 0; i < FDevices.size(); ++i) {
    const QAudioDevice& d = FDevices[i];
    QString text = d.description();
    if (d == defaultInput)
      text += QStringLiteral(" (default)");
    FList->addItem(text);
    if (d == select)
      row = i;
  }
  if (row < 0)
    row = int(FDevices.indexOf(defaultInput));
  FList->setCurrentRow(row);
  FOk->setEnabled(row >= 0);
}

QAudioDevice TInputChooser::SelectedDevice() const
{
  const int row = FList->currentRow();
  return row >= 0 && row < FDevices.size() ? FDevices[row] : QAudioDevice();
}

QString TInputChooser::SettingsProgram()
{
  return QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
}

void TInputChooser::StartSettings()
{
  const QString program = SettingsProgram();
  if (program.isEmpty() || !QProcess::startDetached(program, {}))
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("The sound settings tool could not be started."));
}

} // namespace duv
