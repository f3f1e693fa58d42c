// SPDX-License-Identifier: GPL-3.0-or-later
// The Whole File view page: the spectrogram of the file the Wave File page
// opened, whole, with the transform size, the window, the colour scheme and
// "Log" over it, the time, frequency, level and note under the mouse, and
// "Save Image...". A click on it moves the Wave File page's stretch there
// (marked on the view), Space plays from the pointer and stops again.
#pragma once

#include "analysis/WindowFunctions.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace duv {

class TFileSpectroView;
class TReadOut;
class TWaveFilePage;

class TWholeFilePage : public QWidget
{
  Q_OBJECT
public:
  explicit TWholeFilePage(TWaveFilePage& WaveFile, QWidget* Parent = nullptr);

  TFileSpectroView& View() { return *FView; }

  // What a user chooses and reads here.
  void SetTransformSize(int Size);
  int TransformSize() const;
  void SetWindowKind(TWindowKind Window);
  TWindowKind WindowKind() const;
  // Picks a scheme by its index in ColorSchemes, as the list does.
  void SetColorScheme(int Index);
  int ColorScheme() const;
  void SetLogFrequency(bool Log);
  bool LogFrequency() const;
  // " Time:", " Frequency:", " Level:" and " Note:" under the mouse.
  QStringList ReadOuts() const;

  // How long Space plays from the pointer, at most.
  static constexpr double PlaySeconds = 60;

  // Asked by "Save Image...": the picture's size (the view's is offered;
  // none cancels) and the file (empty cancels). Replaceable, so that saving
  // can be driven without dialogs.
  std::function<std::optional<QSize>(QSize Shown)> AskImageSize;
  std::function<QString()> AskImageFile;

  // Handlers.
  // The Wave File page opened a file, or moved its stretch.
  void WaveFileChange();
  void ViewMouseMove(int X, int Y);
  void ClearMouse();
  void ViewTimeClick(double Seconds);
  void ViewPlayKey(double Seconds);
  void SaveImageBtnClick();
  // The window closes: the work stops.
  void StopWork();

  // The file's name, which a saved picture carries, and the picture's name
  // offered for it.
  QString FileTitle() const;
  QString ImageName() const;

private:
  void ShowReadOut();

  TWaveFilePage& FWaveFile;
  QComboBox* SizeCombo = nullptr;
  QComboBox* WindowCombo = nullptr;
  QComboBox* ColorCombo = nullptr;
  QCheckBox* LogCheck = nullptr;
  QPushButton* SaveImageBtn = nullptr;
  TReadOut *TimeDis = nullptr, *FrequencyDis = nullptr, *LevelDis = nullptr, *NoteDis = nullptr;
  TFileSpectroView* FView = nullptr;
  QPoint FMouse{-1, -1};
};

} // namespace duv
