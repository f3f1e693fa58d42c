// The About dialog: the program's name, what it is, and its version.
#pragma once

#include <QDialog>

namespace duv {

class TAboutDlg : public QDialog
{
  Q_OBJECT
public:
  explicit TAboutDlg(QWidget* parent = nullptr);
};

} // namespace duv
