// SPDX-License-Identifier: GPL-3.0-or-later
// TInputChooser: the "Choose Input" dialog. Lists the sound inputs, the
// default one marked, and offers the sound server's own settings tool when it
// is installed.
#pragma once

#include <QAudioDevice>
#include <QDialog>
#include <QList>

class QLabel;
class QListWidget;
class QPushButton;

namespace duv {

class TInputChooser : public QDialog
{
  Q_OBJECT
public:
  // Current: the input to select at first (the default input when null).
  explicit TInputChooser(const QAudioDevice& Current, QWidget* Parent = nullptr);

  // The input the user selected; null when there is none.
  QAudioDevice SelectedDevice() const;
  // The inputs as listed, in list order.
  QList<QAudioDevice> Devices() const { return FDevices; }
  QListWidget* List() const { return FList; }
  QPushButton* SettingsButton() const { return FSettings; }
  // Says why the settings button is disabled; hidden when it is enabled.
  QLabel* SettingsNote() const { return FSettingsNote; }

  // The settings tool's program, or empty when it is not installed.
  static QString SettingsProgram();

private:
  void Fill(const QAudioDevice& select);
  void StartSettings();

  QList<QAudioDevice> FDevices;
  QListWidget* FList;
  QPushButton* FSettings;
  QPushButton* FOk;
  QLabel* FSettingsNote;
};

} // namespace duv
