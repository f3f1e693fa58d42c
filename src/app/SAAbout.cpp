#include "app/SAAbout.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace duv {

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent)
{
  setWindowTitle(QStringLiteral("About Duvovovi"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Duvovovi"), this));
  layout->addWidget(new QLabel(QStringLiteral("Audio Spectrum Analyzer"), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

} // namespace duv
