// SPDX-License-Identifier: GPL-3.0-or-later
// The About dialog: the program's picture and name, what it is, the version
// derived from the executable's date, and who makes it.
#pragma once

#include <QDate>
#include <QDialog>

class QLabel;
class QPushButton;

namespace duv {

// "Version 0.YY.M.D" for a date: YY the year without its first two digits,
// M and D without leading zeros; 9 January 2005 gives "Version 0.05.1.9".
QString VersionText(const QDate& Date);
// The version of the program file at Path, from its modification date.
QString VersionOfFile(const QString& Path);

class TAboutDlg : public QDialog
{
  Q_OBJECT
public:
  explicit TAboutDlg(QWidget* parent = nullptr);

  QLabel* About2 = nullptr; // the picture
  QLabel* ProductName = nullptr;
  QLabel* Display1 = nullptr;
  QLabel* VersionLabel = nullptr;
  QLabel* Display3 = nullptr;
  QLabel* Display4 = nullptr;
  QPushButton* BitBtn1 = nullptr;

  // The program's picture: a spectrum over a scale, 100 x 102 at the design size.
  static QPixmap Picture(const QSize& Size);

protected:
  void changeEvent(QEvent* e) override;

private:
  void FormCreate();
  void ApplyDesignScale();
  QWidget* FPanel = nullptr;
};

} // namespace duv
