// SPDX-License-Identifier: GPL-3.0-or-later
// The parts every spin edit is built from: an edit field with text alignment
// and a kill-focus event, the arrow buttons and their up-down holder, the
// units label, and TCustomSpin, which puts them together and owns the keys,
// the layout and the editing rules shared by the real and integer spins.
#pragma once

#include "controls/Autobttn.h"

#include <QFrame>
#include <QLineEdit>
#include <optional>

namespace duv {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// An arrow-painted auto-repeat button; down arrow unless UpArrow is set.
class TArrowButton : public TAutoButton
{
  Q_OBJECT
public:
  explicit TArrowButton(QWidget* parent = nullptr);

  bool UpArrow() const { return FUpArrow; }
  void SetUpArrow(bool v);
  bool Focused() const { return FFocused; }
  void SetFocused(bool v);

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  bool FUpArrow = false;
  bool FFocused = false;
};

// The pair of arrows at the right end of a spin.
class TUpDownButton : public QWidget
{
  Q_OBJECT
public:
  explicit TUpDownButton(QWidget* parent = nullptr);

  TArrowButton* UpButton() const { return FUpButton; }
  TArrowButton* DownButton() const { return FDownButton; }
  TArrowButton* FocusedButton() const { return FFocusedButton; }
  QWidget* FocusControl() const { return FFocusControl; }
  void SetFocusControl(QWidget* w) { FFocusControl = w; }
  // True while either arrow is held.
  bool Pressed() const;

signals:
  void OnUpClick();
  void OnDownClick();

protected:
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;

private:
  bool canTakeFocus() const;
  void setFocusBtn(TArrowButton* b);
  void btnPressed(TArrowButton* b);
  void arrange();

  TArrowButton* FUpButton;
  TArrowButton* FDownButton;
  TArrowButton* FFocusedButton;
  QWidget* FFocusControl = nullptr;
};

// The units label between the text and the arrows.
class TDisPanel : public QFrame
{
  Q_OBJECT
public:
  explicit TDisPanel(QWidget* parent = nullptr);
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& s);

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  QString FCaption;
};

// A line edit whose alignment is a property and which reports losing focus.
class TCustomEditEx : public QLineEdit
{
  Q_OBJECT
public:
  explicit TCustomEditEx(QWidget* parent = nullptr);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment a);

signals:
  void OnKillFocus();

protected:
  void focusOutEvent(QFocusEvent* e) override;
  // Runs after the field lost the focus, before OnKillFocus.
  virtual void DoExit() {}
  // The refusal sound; virtual so tests can count it.
  virtual void Beep();

private:
  TAlignment FAlignment = taLeftJustify;
};

// Shared behaviour of TRealSpin and TIntegerSpin.
class TCustomSpin : public TCustomEditEx
{
  Q_OBJECT
public:
  explicit TCustomSpin(QWidget* parent = nullptr);

  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool v);
  bool UseLimit() const { return FUseLimit; }
  void SetUseLimit(bool v) { FUseLimit = v; }
  QString UnitsString() const { return FUnitsString; }
  void SetUnitsString(const QString& s);
  int PanelWidth() const { return FPanelWidth; }
  void SetPanelWidth(int w);
  bool BlockChangeEvent() const { return FBlockChangeEvent; }
  void SetBlockChangeEvent(bool v) { FBlockChangeEvent = v; }
  bool Wrap() const { return FWrap; }
  void SetWrap(bool v) { FWrap = v; }
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool v) { FAutoSelect = v; }
  // Read-only differs from EditorEnabled false: arrow steps beep as well.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);

  TUpDownButton* UpDown() const { return FButton; }
  TDisPanel* UnitsPanel() const { return FPanel; }

  // One arrow step up or down (ten with Ctrl held).
  virtual void UpClick(QObject* Sender) = 0;
  virtual void DownClick(QObject* Sender) = 0;

signals:
  void OnChange();
  // WrapMode 0: past the maximum, 1: past the minimum.
  void OnWrap(QObject* Sender, int WrapMode);

protected:
  virtual bool CharAllowed(QChar c) const = 0;
  // The text changed; the real spin re-reads its value here.
  virtual void TextChanged() {}
  // Whether Ctrl is down now; virtual so tests need not fake the keyboard.
  virtual bool ControlHeld() const;
  int StepMultiplier() const;
  // Shows a value's text; TextChanged is skipped for it because the shown
  // text may be a rounded form of the value just set.
  void ShowText(const QString& s);

  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  void arrange();
  void applyReadOnly();
  void onTextChanged();

  TUpDownButton* FButton;
  TDisPanel* FPanel;
  bool FEditorEnabled = true;
  bool FUseLimit = false;
  QString FUnitsString;
  int FPanelWidth = 0;
  bool FBlockChangeEvent = false;
  bool FWrap = false;
  bool FAutoSelect = true;
  bool FReadOnly = false;
  bool FShowing = false;
  std::optional<bool> FKeyCtrl;
};

} // namespace duv
