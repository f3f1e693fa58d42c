// SPDX-License-Identifier: GPL-3.0-or-later
// The Spectrogram view page: the colour scheme and time span, the frequency
// scale and the axes' look over the scrolling spectrogram, with the
// frequency, time and note under the mouse.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;

namespace duv {

class TReadOut;
class TRealSpin;
class TSpectroGram;

class TSpectrogramPage : public QWidget
{
  Q_OBJECT
public:
  explicit TSpectrogramPage(QWidget* Parent = nullptr);

  TSpectroGram& SpectroGram() { return *SpectroGram1; }
  // The time span the picture shows, in seconds; the live set-up reads it.
  TRealSpin& TimeSpan() { return *TimeSpin; }
  // Picks a scheme by its index in ColorSchemes, as the list does.
  void SetColorScheme(int Index);
  int ColorScheme() const;
  // The read-outs under the mouse: "frequency   time" and the note, over
  // the plot only.
  QString MouseText() const;
  QString NoteText() const;
  // " Level:" the level under the mouse.
  QString LevelText() const;
  // "Log": a logarithmic frequency axis.
  void SetLogFrequency(bool Log);
  bool LogFrequency() const;
  // "Round Ticks": round values and units on the axes, and the dB scale.
  void SetRoundTicks(bool Round);
  bool RoundTicks() const;

  // Handlers.
  void ColorComboChange();
  void SpectroGram1MouseMove(int X, int Y);
  void ClearMouse();

Q_SIGNALS:
  // The live set-up follows both: a new scheme sets the displays up again,
  // a new time span also restarts capture.
  void OnColorSchemeChange();
  void OnTimeSpanChange();

private:
  QComboBox* ColorCombo = nullptr;
  QCheckBox* LogCheck = nullptr;
  QCheckBox* RoundCheck = nullptr;
  TRealSpin* TimeSpin = nullptr;
  TSpectroGram* SpectroGram1 = nullptr;
  TReadOut* Mouse2Dis = nullptr;
  TReadOut* Level2Dis = nullptr;
  TReadOut* Note2Dis = nullptr;
};

} // namespace duv
